// The inflate pipeline's two threads. The file reader reads the image in
// pieces, strictly in order, until the file ends or a read fails. The
// inflater does nothing but inflate: it hands on full blocks, and at the
// end the last part-filled one and an item that says how the stream ended.
#include <algorithm>

#include "engine/zlib/deflate_params.h"
#include "engine/zlib/gzip_member.h"
#include "engine/zlib/inflate_pipeline.h"
#include "engine/zlib/zlib_binding.h"

namespace {


CInflatePipeline::T_RESULT Failure(int nZlibResult, uint32_t nError = 0)
{
    return CInflatePipeline::T_RESULT{false, nZlibResult, nError};
}

constexpr CInflatePipeline::T_RESULT OK{true, 0, 0};
// What a thread of a stopped pipeline gives up with; nobody reads it.
constexpr CInflatePipeline::T_RESULT STOPPED{false, Z_STREAM_ERROR, 0};

}  // namespace

void CInflatePipeline::FileReaderThread()
{
    uint64_t nPos = 0;
    for (;;) {
        uint8_t* pPiece = m_pPieces->Alloc();
        if (!pPiece) return;  // stopped
        uint32_t nError = 0;
        const uint32_t nCount = ReadPiece(nPos, pPiece, nError);
        if (nCount == 0 && nError != 0) m_pPieces->Free(pPiece);
        else if (!m_pInput->Put(pPiece, nCount) || nCount == 0) return;
        if (nError != 0) {
            m_nReadError = nError;
            m_pInput->Put(nullptr, 0);
            return;
        }
        nPos += nCount;
    }
}

// Reads the piece at nPos; 0 bytes at the file's end. A read that fails is
// narrowed down to the 1 MiB read that fails (nError), as the sequential
// reader reads, so the data in front of it still come through.
uint32_t CInflatePipeline::ReadPiece(uint64_t nPos, uint8_t* pPiece, uint32_t& nError)
{
    const T_IO_RESULT io = m_pFile->ReadAt(nPos, pPiece, PIECE_SIZE);
    if (io.bOk) return io.nCount;
    uint32_t nGot = 0;
    while (nGot < PIECE_SIZE) {
        const uint32_t nLength = std::min(CZLIBIO::BUFFER_SIZE, PIECE_SIZE - nGot);
        const T_IO_RESULT part = m_pFile->ReadAt(nPos + nGot, pPiece + nGot, nLength);
        if (!part.bOk) {
            nError = part.nError;
            break;
        }
        if (part.nCount == 0) break;
        nGot += part.nCount;
    }
    return nGot;
}

void CInflatePipeline::InflaterThread()
{
    z_stream s{};
    T_RESULT result = NextInput(s);
    if (!result.bOk || m_bFileEnded) {  // a failed first read, or an empty file: an image of 0 bytes
        EndOutput(nullptr, 0, result);
    } else {
        const bool bGzip = s.avail_in >= 2 && s.next_in[0] == 0x1F && s.next_in[1] == 0x8B;
        m_bOwnCheck = bGzip && m_pZlib->extra.crc32 != nullptr;
        if (m_bOwnCheck) result = SkipGzipHeader(s);
        if (result.bOk) InflateStream(s, m_bOwnCheck);
        else EndOutput(nullptr, 0, result);
    }
    if (m_pPiece) m_pPieces->Free(m_pPiece);
    m_pPiece = nullptr;
}

// Inflates the deflate data (raw, or with the header and checks left to
// zlib) to their end, then takes the trailer and makes sure nothing follows.
void CInflatePipeline::InflateStream(z_stream_s& s, bool bRaw)
{
    if (m_pZlib->inflateInit2_(&s, bRaw ? WINDOW_BITS_RAW : WINDOW_BITS_AUTO, ZLIB_VERSION,
                               static_cast<int>(sizeof(z_stream))) != Z_OK) {
        EndOutput(nullptr, 0, Failure(Z_STREAM_ERROR));  // a stream that cannot start is unusable
        return;
    }
    uint8_t* pBlock = nullptr;
    T_RESULT result = NextBlock(s, pBlock);
    while (result.bOk) {
        if (s.avail_out == 0) {
            result = NextBlock(s, pBlock);
            continue;
        }
        if (s.avail_in == 0 && !m_bFileEnded) {
            result = NextInput(s);
            continue;
        }
        const uInt nInBefore = s.avail_in;
        const uInt nOutBefore = s.avail_out;
        const int nResult = m_pZlib->inflate(&s, Z_NO_FLUSH);
        if (nResult == Z_STREAM_END) break;
        if (nResult != Z_OK && nResult != Z_BUF_ERROR) {
            result = Failure(nResult);
        } else if (s.avail_in == nInBefore && s.avail_out == nOutBefore) {
            result = Failure(Z_BUF_ERROR);  // nothing more in the file: the stream was cut short
        }
    }
    if (result.bOk && bRaw) result = ReadTrailer(s);
    if (result.bOk) result = CheckNothingFollows(s);
    m_pZlib->inflateEnd(&s);
    EndOutput(pBlock, pBlock ? BLOCK_SIZE - s.avail_out : 0, result);
}

// Hands on the full block, if any, and makes a new one the output.
CInflatePipeline::T_RESULT CInflatePipeline::NextBlock(z_stream_s& s, uint8_t*& pBlock)
{
    if (pBlock) {
        uint8_t* pFull = pBlock;
        pBlock = nullptr;
        if (!m_pOutput->Put(pFull, BLOCK_SIZE)) return STOPPED;
    }
    pBlock = m_pBlocks->Alloc();
    if (!pBlock) return STOPPED;
    s.next_out = pBlock;
    s.avail_out = BLOCK_SIZE;
    return OK;
}

// The next piece of the file as input; a piece of 0 bytes ends the file.
CInflatePipeline::T_RESULT CInflatePipeline::NextInput(z_stream_s& s)
{
    if (m_pPiece) m_pPieces->Free(m_pPiece);
    m_pPiece = nullptr;
    uint8_t* pPiece = nullptr;
    uint64_t nCount = 0;
    if (!m_pInput->Get(pPiece, nCount)) return STOPPED;
    if (!pPiece) return Failure(Z_ERRNO, m_nReadError);
    s.next_in = pPiece;
    s.avail_in = static_cast<uInt>(nCount);
    if (nCount == 0) {
        m_bFileEnded = true;
        m_pPieces->Free(pPiece);
    } else {
        m_pPiece = pPiece;
    }
    return OK;
}

// One byte of the input, for the header and the trailer; the file ending
// first means the stream was cut short.
CInflatePipeline::T_RESULT CInflatePipeline::NextByte(z_stream_s& s, uint8_t& b)
{
    while (s.avail_in == 0) {
        if (m_bFileEnded) return Failure(Z_BUF_ERROR);
        const T_RESULT input = NextInput(s);
        if (!input.bOk) return input;
    }
    b = *s.next_in++;
    --s.avail_in;
    return OK;
}

CInflatePipeline::T_RESULT CInflatePipeline::SkipGzipHeader(z_stream_s& s)
{
    CGzipHeaderParser parser(m_pZlib->extra.crc32);
    for (;;) {
        uint8_t b = 0;
        const T_RESULT input = NextByte(s, b);
        if (!input.bOk) return input;
        const CGzipHeaderParser::EState eState = parser.Feed(b);
        if (eState == CGzipHeaderParser::EState::Done) return OK;
        if (eState == CGzipHeaderParser::EState::Bad) return Failure(Z_DATA_ERROR);
    }
}

CInflatePipeline::T_RESULT CInflatePipeline::ReadTrailer(z_stream_s& s)
{
    for (uint8_t& b : m_trailer) {
        const T_RESULT input = NextByte(s, b);
        if (!input.bOk) return input;
    }
    return OK;
}

// The image is exactly one gzip member: the stream's end must be the
// file's end. Anything behind it is refused rather than dropped unseen: a
// second member (its magic number 1F 8B) as such, anything else as damage.
CInflatePipeline::T_RESULT CInflatePipeline::CheckNothingFollows(z_stream_s& s)
{
    while (s.avail_in == 0 && !m_bFileEnded) {
        const T_RESULT input = NextInput(s);
        if (!input.bOk) return input;
    }
    if (s.avail_in == 0) return OK;
    uint8_t magic[2] = {};
    for (uint8_t& b : magic) {
        if (!NextByte(s, b).bOk) break;
    }
    return Failure(magic[0] == 0x1F && magic[1] == 0x8B ? CZLIBIO::NEXT_MEMBER : Z_DATA_ERROR);
}

// The last, part-filled block (if it holds anything), then the item that
// ends the output: the end mark, or null with the reason kept aside.
void CInflatePipeline::EndOutput(uint8_t* pBlock, uint32_t nFilled, const T_RESULT& result)
{
    if (pBlock && nFilled > 0) {
        if (!m_pOutput->Put(pBlock, nFilled)) return;
    } else if (pBlock) {
        m_pBlocks->Free(pBlock);
    }
    if (result.bOk) {
        m_pOutput->Put(EndMark(), 0);
        return;
    }
    m_failure = result;
    m_pOutput->Put(nullptr, 0);
}
