// Writing a compressed image: deflate into the 1 MiB output buffer, and
// write the buffer whole to the file each time it is full, so the image is
// written in 1 MiB pieces except its last.
#include "engine/core/system_error.h"
#include "engine/zlib/deflate_params.h"
#include "engine/zlib/zlib_binding.h"
#include "engine/zlib/zlib_io.h"

CZLIBIO::T_RESULT CZLIBIO::InitWrite(IDevice& file)
{
    if (!m_pZlib) return Fail(Z_VERSION_ERROR);
    if (!Prepare(file)) return Fail(Z_MEM_ERROR);
    z_stream& s = *m_pStream;
    const int nResult = m_pZlib->deflateInit2_(&s, IMAGE_LEVEL, Z_DEFLATED, WINDOW_BITS_GZIP, IMAGE_MEM_LEVEL,
                                               Z_DEFAULT_STRATEGY, ZLIB_VERSION, static_cast<int>(sizeof(z_stream)));
    if (nResult != Z_OK) return Fail(nResult);
    m_eStream = EStream::Deflate;
    m_eState = EState::Open;
    s.next_out = m_pBuffer.get();
    s.avail_out = BUFFER_SIZE;
    return Ok();
}

CZLIBIO::T_RESULT CZLIBIO::WriteCompressFile(const void* pData, uint32_t nCount)
{
    if (m_eStream != EStream::Deflate || m_eState != EState::Open) return Fail(Z_STREAM_ERROR);
    z_stream& s = *m_pStream;
    s.next_in = static_cast<const Bytef*>(pData);
    s.avail_in = nCount;
    while (s.avail_in > 0) {
        const uInt nInBefore = s.avail_in;
        const uInt nOutBefore = s.avail_out;
        const int nResult = m_pZlib->deflate(&s, Z_NO_FLUSH);
        if (nResult != Z_OK) return Fail(nResult);
        if (s.avail_out == 0) {
            const T_RESULT written = WriteOutput(BUFFER_SIZE);
            if (!written.bOk) return written;
        } else if (s.avail_in == nInBefore && s.avail_out == nOutBefore) {
            return Fail(Z_BUF_ERROR);  // no progress with room on both sides: never spin
        }
    }
    return Ok();
}

CZLIBIO::T_RESULT CZLIBIO::CommitWrite()
{
    if (m_eStream != EStream::Deflate || m_eState != EState::Open) return Fail(Z_STREAM_ERROR);
    z_stream& s = *m_pStream;
    s.next_in = nullptr;
    s.avail_in = 0;
    for (;;) {
        const int nResult = m_pZlib->deflate(&s, Z_FINISH);
        if (nResult == Z_STREAM_END) break;
        // Before its end, finishing stops only on a full output buffer.
        if (nResult != Z_OK) return Fail(nResult);
        if (s.avail_out != 0) return Fail(Z_BUF_ERROR);
        const T_RESULT written = WriteOutput(BUFFER_SIZE);
        if (!written.bOk) return written;
    }
    m_eState = EState::Finished;
    const uint32_t nFilled = BUFFER_SIZE - s.avail_out;
    return nFilled > 0 ? WriteOutput(nFilled) : Ok();
}

// Writes the first nBytes of the output buffer at the running compressed
// offset and empties the buffer. A short write goes on with the rest; a
// write that fails, or succeeds without storing a byte, ends it.
CZLIBIO::T_RESULT CZLIBIO::WriteOutput(uint32_t nBytes)
{
    const uint8_t* p = m_pBuffer.get();
    uint32_t nLeft = nBytes;
    while (nLeft > 0) {
        const T_IO_RESULT io = m_pFile->WriteAt(m_nFileBytes, p, nLeft);
        if (!io.bOk) return FileFailure(io.nError);
        if (io.nCount == 0 || io.nCount > nLeft) return FileFailure(SystemError::IoError());
        p += io.nCount;
        nLeft -= io.nCount;
        m_nFileBytes += io.nCount;
    }
    m_pStream->next_out = m_pBuffer.get();
    m_pStream->avail_out = BUFFER_SIZE;
    return Ok();
}
