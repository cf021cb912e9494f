// Reading a compressed image: inflate from the 1 MiB input buffer, refilled
// from the file when it runs dry, into the caller's blocks. Once the file is
// exhausted inflate is told to finish, and a stream that still does not end
// was cut short. (All of a complete stream's output comes before its
// trailer is read, so finishing never stops a complete stream early.)
#include "engine/zlib/deflate_params.h"
#include "engine/zlib/zlib_binding.h"
#include "engine/zlib/zlib_io.h"

CZLIBIO::T_RESULT CZLIBIO::InitRead(IDevice& file)
{
    if (!m_pZlib) return Fail(Z_VERSION_ERROR);
    if (!Prepare(file)) return Fail(Z_MEM_ERROR);
    const int nResult = m_pZlib->inflateInit2_(m_pStream.get(), WINDOW_BITS_AUTO, ZLIB_VERSION,
                                               static_cast<int>(sizeof(z_stream)));
    if (nResult != Z_OK) return Fail(nResult);
    m_eStream = EStream::Inflate;
    m_eState = EState::Open;
    return Ok();
}

CZLIBIO::T_RESULT CZLIBIO::ReadCompressFile(void* pBlock, uint32_t nLength, uint32_t& nProduced)
{
    nProduced = 0;
    if (m_eStream != EStream::Inflate || m_eState == EState::Failed) return Fail(Z_STREAM_ERROR);
    if (m_eState == EState::Finished) return Ok();
    z_stream& s = *m_pStream;
    s.next_out = static_cast<Bytef*>(pBlock);
    s.avail_out = nLength;
    while (s.avail_out > 0) {
        if (s.avail_in == 0 && m_nFlush != Z_FINISH) {
            const T_RESULT filled = FillInput();
            if (!filled.bOk) return filled;
            if (m_nFlush == Z_FINISH && m_nFileBytes == 0) {  // an empty file: an image of 0 bytes
                m_eState = EState::Finished;
                return Ok();
            }
        }
        const uInt nInBefore = s.avail_in;
        const uInt nOutBefore = s.avail_out;
        const int nResult = m_pZlib->inflate(&s, m_nFlush);
        nProduced += nOutBefore - s.avail_out;
        if (nResult == Z_STREAM_END) return CheckNothingFollows();
        // Z_BUF_ERROR: told to finish, the stream did not reach its end.
        if (nResult != Z_OK) return Fail(nResult);
        if (s.avail_in == nInBefore && s.avail_out == nOutBefore) return Fail(Z_BUF_ERROR);
    }
    return Ok();
}

// Reads up to a buffer of the file behind what was read so far. 0 bytes:
// the file is exhausted, and inflate is told to finish from now on.
CZLIBIO::T_RESULT CZLIBIO::FillInput()
{
    const T_IO_RESULT io = m_pFile->ReadAt(m_nFileBytes, m_pBuffer.get(), BUFFER_SIZE);
    if (!io.bOk) return FileFailure(io.nError);
    if (io.nCount == 0) m_nFlush = Z_FINISH;
    m_pStream->next_in = m_pBuffer.get();
    m_pStream->avail_in = io.nCount;
    m_nFileBytes += io.nCount;
    return Ok();
}

// The image is exactly one gzip member: the stream's end must be the
// file's end. Anything behind it is refused rather than dropped unseen: a
// second member as such, anything else as damage.
CZLIBIO::T_RESULT CZLIBIO::CheckNothingFollows()
{
    if (m_pStream->avail_in == 0 && m_nFlush != Z_FINISH) {
        const T_RESULT filled = FillInput();
        if (!filled.bOk) return filled;
    }
    if (m_pStream->avail_in > 0) return Fail(NextMemberFollows() ? NEXT_MEMBER : Z_DATA_ERROR);
    m_eState = EState::Finished;
    return Ok();
}

// The input left starts with a gzip magic number (1F 8B), which may
// straddle two buffers of the file. Consumes what it looks at.
bool CZLIBIO::NextMemberFollows()
{
    z_stream& s = *m_pStream;
    const uint8_t first = *s.next_in++;
    --s.avail_in;
    if (first != 0x1F) return false;
    if (s.avail_in == 0 && m_nFlush != Z_FINISH && !FillInput().bOk) return false;
    return s.avail_in > 0 && *s.next_in == 0x8B;
}
