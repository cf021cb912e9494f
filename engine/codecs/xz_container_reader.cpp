#include "engine/codecs/xz_container_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr uint8_t STREAM_MAGIC[6] = {0xFD, '7', 'z', 'X', 'Z', 0x00};

}  // namespace

CXzContainerReader::CXzContainerReader(IDevice& file, const T_LZMA_ENTRY_POINTS& lzma,
                                       CXzBlockScheduler& scheduler)
    : m_file(file), m_lzma(lzma), m_scheduler(scheduler), m_pPiece(new (std::nothrow) uint8_t[PIECE])
{
    if (m_pPiece) m_scheduler.Charge(PIECE);
}

CXzContainerReader::~CXzContainerReader()
{
    if (m_bInlineStarted) m_lzma.lzma_end(&m_inline);
    if (m_header.block.filters) m_lzma.lzma_filters_free(m_header.filters, nullptr);
    EndIndexHash();
}

bool CXzContainerReader::Step()
{
    if (m_eState == EState::Done || m_eState == EState::Inline) return false;
    if (!m_pPiece) return Fail(XzFailure(EDecodeFailure::NoMemory));
    if (Avail() == 0) {
        if (!m_bFileEnded) {
            ReadPiece();
            return true;
        }
        return StepAtEndOfFile();
    }
    switch (m_eState) {
    case EState::StreamHeader:
    case EState::NextStream: return StepStreamHeader();
    case EState::BlockStart:
        if (m_pPiece[m_nPiecePos] == 0) {  // the index indicator
            m_eState = EState::Index;
        } else {
            m_nWant = (m_pPiece[m_nPiecePos] + 1u) * 4;
            m_nGathered = 0;
            m_eState = EState::BlockHeader;
        }
        return true;
    case EState::BlockHeader: return StepBlockHeader();
    case EState::BlockData: return StepBlockData();
    case EState::Index: return StepIndex();
    case EState::Footer: return StepFooter();
    case EState::Padding: return StepPadding();
    case EState::Inline:
    case EState::Done: break;
    }
    return false;
}

// The file has ended at this point of the walk: after a stream and its
// padding that is the end of the image (and an empty file is one of no
// bytes); anywhere else the file is cut short, or goes on with something
// that is not xz.
bool CXzContainerReader::StepAtEndOfFile()
{
    switch (m_eState) {
    case EState::StreamHeader:
        if (m_nFileBytes == 0) break;
        return Fail(XzFailure(GatheredMagic() ? EDecodeFailure::Truncated : EDecodeFailure::NotThisFormat));
    case EState::NextStream:
        return Fail(XzFailure(GatheredMagic() ? EDecodeFailure::Truncated : EDecodeFailure::Trailing));
    case EState::Padding:
        if (m_nPadding % 4 == 0) break;
        return Fail(XzFailure(EDecodeFailure::Damaged, "the stream padding is not a multiple of four bytes"));
    default: return Fail(XzFailure(EDecodeFailure::Truncated));
    }
    m_scheduler.AddEnd();
    m_eState = EState::Done;
    return true;
}

bool CXzContainerReader::StepStreamHeader()
{
    m_nWant = Lzma::STREAM_HEADER_SIZE;
    if (!Gather(m_nWant)) return true;
    const int nResult = m_lzma.lzma_stream_header_decode(&m_flags, m_gathered);
    if (nResult == Lzma::FORMAT_ERROR) {
        return Fail(XzFailure(m_eState == EState::StreamHeader ? EDecodeFailure::NotThisFormat
                                                             : EDecodeFailure::Trailing));
    }
    if (nResult != Lzma::OK) return Fail(LzmaFailure(nResult, "a stream header is damaged"));
    m_pIndexHash = m_lzma.lzma_index_hash_init(nullptr, nullptr);
    if (!m_pIndexHash) return Fail(XzFailure(EDecodeFailure::NoMemory));
    m_eState = EState::BlockStart;
    return true;
}

bool CXzContainerReader::StepBlockHeader()
{
    if (!Gather(m_nWant)) return true;
    m_header = {};
    T_LZMA_BLOCK& block = m_header.block;
    block.version = 1;
    block.header_size = static_cast<uint32_t>(m_nWant);
    block.check = m_flags.check;
    block.filters = m_header.filters;
    const int nResult = m_lzma.lzma_block_header_decode(&block, nullptr, m_gathered);
    if (nResult != Lzma::OK) {
        block.filters = nullptr;  // freed by the failed call
        return Fail(LzmaFailure(nResult, "a block header is damaged"));
    }
    m_header.nDecoderMemory = m_lzma.lzma_raw_decoder_memusage(m_header.filters);
    if (m_header.nDecoderMemory == UINT64_MAX)
        return Fail(XzFailure(EDecodeFailure::Damaged, "options this liblzma does not support"));
    if (block.compressed_size == Lzma::VLI_UNKNOWN || block.uncompressed_size == Lzma::VLI_UNKNOWN) {
        m_scheduler.AddInline();  // decoded here once it is the head: only its end tells where it ends
        m_eState = EState::Inline;
        return true;
    }
    const uint64_t nUnpadded = m_lzma.lzma_block_unpadded_size(&block);
    if (nUnpadded == 0) return Fail(XzFailure(EDecodeFailure::Damaged, "a block header is damaged"));
    const int nAppend = m_lzma.lzma_index_hash_append(m_pIndexHash, nUnpadded, block.uncompressed_size);
    if (nAppend != Lzma::OK) return Fail(LzmaFailure(nAppend, "the blocks are too many or too large"));
    m_nBlockLeft = ((nUnpadded + 3) & ~uint64_t{3}) - m_nWant;
    T_DECODE_RESULT failure;
    if (!m_scheduler.AddBlock(m_header, failure)) return Fail(failure);
    m_eState = EState::BlockData;
    return true;
}

// Hands the block the next of its bytes, as far as the scheduler has room.
bool CXzContainerReader::StepBlockData()
{
    const size_t nBytes = static_cast<size_t>(std::min<uint64_t>(Avail(), m_nBlockLeft));
    if (!m_scheduler.InputRoom()) return false;
    m_scheduler.AddInput(m_pPiece.get() + m_nPiecePos, nBytes);
    m_nPiecePos += nBytes;
    m_nBlockLeft -= nBytes;
    if (m_nBlockLeft == 0) {
        m_scheduler.CloseInput(T_DECODE_RESULT{});
        m_eState = EState::BlockStart;
    }
    return true;
}

bool CXzContainerReader::StepIndex()
{
    size_t nPos = m_nPiecePos;
    const int nResult = m_lzma.lzma_index_hash_decode(m_pIndexHash, m_pPiece.get(), &nPos, m_nPieceLen);
    m_nPiecePos = nPos;
    if (nResult == Lzma::OK) return true;
    if (nResult != Lzma::STREAM_END) return Fail(LzmaFailure(nResult, "the index does not match the blocks"));
    m_nGathered = 0;
    m_eState = EState::Footer;
    return true;
}

bool CXzContainerReader::StepFooter()
{
    if (!Gather(Lzma::STREAM_HEADER_SIZE)) return true;
    T_LZMA_STREAM_FLAGS footer;
    const int nResult = m_lzma.lzma_stream_footer_decode(&footer, m_gathered);
    if (nResult != Lzma::OK) return Fail(LzmaFailure(nResult, "a stream footer is damaged"));
    if (m_lzma.lzma_stream_flags_compare(&m_flags, &footer) != Lzma::OK)
        return Fail(XzFailure(EDecodeFailure::Damaged, "a stream footer does not match its header"));
    if (footer.backward_size != m_lzma.lzma_index_hash_size(m_pIndexHash))
        return Fail(XzFailure(EDecodeFailure::Damaged, "a stream footer does not match its index"));
    EndIndexHash();
    m_nPadding = 0;
    m_eState = EState::Padding;
    return true;
}

// Zero bytes after a stream, in fours; anything else starts another stream.
bool CXzContainerReader::StepPadding()
{
    while (Avail() > 0 && m_pPiece[m_nPiecePos] == 0) {
        ++m_nPiecePos;
        ++m_nPadding;
    }
    if (Avail() == 0) return true;
    if (m_nPadding % 4 != 0)
        return Fail(XzFailure(EDecodeFailure::Damaged, "the stream padding is not a multiple of four bytes"));
    m_nGathered = 0;
    m_eState = EState::NextStream;
    return true;
}

T_DECODE_RESULT CXzContainerReader::DecodeInline(uint8_t* pOut, size_t nOut, size_t& nMade, bool& bEnded)
{
    nMade = 0;
    bEnded = false;
    if (!m_bInlineStarted) {
        const int nStart = m_lzma.lzma_block_decoder(&m_inline, &m_header.block);
        m_lzma.lzma_filters_free(m_header.filters, nullptr);
        m_header.block.filters = nullptr;
        m_bInlineStarted = true;
        if (nStart != Lzma::OK) {
            const T_DECODE_RESULT failure = LzmaFailure(nStart, "a block header names filters that cannot be used");
            Fail(failure);
            return failure;
        }
        m_scheduler.Charge(m_header.nDecoderMemory);
    }
    while (nMade < nOut) {
        if (Avail() == 0 && !m_bFileEnded && !ReadPiece()) return m_failure;
        m_inline.next_in = m_pPiece.get() + m_nPiecePos;
        m_inline.avail_in = Avail();
        m_inline.next_out = pOut + nMade;
        m_inline.avail_out = nOut - nMade;
        const int nResult = m_lzma.lzma_code(&m_inline, Lzma::RUN);
        const size_t nUsed = Avail() - m_inline.avail_in;
        const size_t nNew = nOut - nMade - m_inline.avail_out;
        m_nPiecePos += nUsed;
        nMade += nNew;
        T_DECODE_RESULT failure;
        if (nResult == Lzma::STREAM_END) {
            const uint64_t nUnpadded = m_lzma.lzma_block_unpadded_size(&m_header.block);
            const int nAppend =
                m_lzma.lzma_index_hash_append(m_pIndexHash, nUnpadded, m_header.block.uncompressed_size);
            m_lzma.lzma_end(&m_inline);
            m_bInlineStarted = false;
            m_scheduler.Release(m_header.nDecoderMemory);
            if (nAppend == Lzma::OK) {
                m_scheduler.DoneInline();
                m_eState = EState::BlockStart;
                bEnded = true;
                return T_DECODE_RESULT{};
            }
            failure = LzmaFailure(nAppend, "the blocks are too many or too large");
        } else if (nResult != Lzma::OK) {
            failure = LzmaFailure(nResult, "a block's data break the format's rules or fail their check");
        } else if (nUsed == 0 && nNew == 0 && Avail() == 0 && m_bFileEnded) {
            failure = XzFailure(EDecodeFailure::Truncated);
        } else {
            continue;
        }
        Fail(failure);
        return failure;
    }
    return T_DECODE_RESULT{};
}

// Takes up to nWant bytes into m_gathered; true once it has them all.
bool CXzContainerReader::Gather(size_t nWant)
{
    const size_t n = std::min(Avail(), nWant - m_nGathered);
    std::memcpy(m_gathered + m_nGathered, m_pPiece.get() + m_nPiecePos, n);
    m_nGathered += n;
    m_nPiecePos += n;
    return m_nGathered == nWant;
}

// Whether what was gathered of a stream header could begin one.
bool CXzContainerReader::GatheredMagic() const
{
    return std::memcmp(m_gathered, STREAM_MAGIC, std::min(m_nGathered, sizeof(STREAM_MAGIC))) == 0;
}

// Reads the next piece of the file; a failed read ends the walk.
bool CXzContainerReader::ReadPiece()
{
    const T_IO_RESULT read = m_file.ReadAt(m_nFileBytes, m_pPiece.get(), PIECE);
    if (!read.bOk) {
        Fail(T_DECODE_RESULT{false, EDecodeFailure::FileRead, read.nError, {}});
        return false;
    }
    m_bFileEnded = read.nCount == 0;
    m_nFileBytes += read.nCount;
    m_nPieceLen = read.nCount;
    m_nPiecePos = 0;
    return true;
}

// Ends the walk: the block being handed over fails with failure when its
// decoder runs out of bytes, or the failure is queued behind the blocks.
bool CXzContainerReader::Fail(const T_DECODE_RESULT& failure)
{
    m_failure = failure;
    if (m_eState == EState::BlockData) {
        m_scheduler.CloseInput(failure);
    } else {
        m_scheduler.AddFailure(failure);
    }
    m_eState = EState::Done;
    return true;
}

void CXzContainerReader::EndIndexHash()
{
    if (m_pIndexHash) m_lzma.lzma_index_hash_end(m_pIndexHash, nullptr);
    m_pIndexHash = nullptr;
}
