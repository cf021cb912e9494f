// The life of a CZLIBIO: its link to the binding, its stream record and
// buffer, and the end of a stream on every path.
#include <new>

#include "engine/core/debug_trace.h"
#include "engine/zlib/zlib_binding.h"
#include "engine/zlib/zlib_io.h"

CZLIBIO::CZLIBIO() : m_pStream(new z_stream{})
{
    m_pZlib = ZlibBinding::Link();
    DebugTrace("CZLIBIO::CZLIBIO()\n");
}

CZLIBIO::~CZLIBIO()
{
    DebugTrace("CZLIBIO::~CZLIBIO()\n");
    Release();
    // An object whose link failed holds none: it must not drop another's.
    if (m_pZlib) ZlibBinding::Unlink();
}

void CZLIBIO::Release()
{
    if (m_eStream == EStream::Deflate) m_pZlib->deflateEnd(m_pStream.get());
    if (m_eStream == EStream::Inflate) m_pZlib->inflateEnd(m_pStream.get());
    m_eStream = EStream::None;
    m_eState = EState::Idle;
    m_pBuffer.reset();
    m_pFile = nullptr;
}

// A fresh stream record (zlib's own allocator), the 1 MiB buffer and the
// file; false when the buffer cannot be had.
bool CZLIBIO::Prepare(IDevice& file)
{
    Release();
    *m_pStream = z_stream{};
    m_nFlush = Z_NO_FLUSH;
    m_nFileBytes = 0;
    m_pFile = &file;
    m_pBuffer.reset(new (std::nothrow) uint8_t[BUFFER_SIZE]);
    return m_pBuffer != nullptr;
}

// The stream is unusable after a failure: every later step fails too.
CZLIBIO::T_RESULT CZLIBIO::Fail(int nZlibResult)
{
    m_eState = EState::Failed;
    return T_RESULT{false, nZlibResult, 0};
}

CZLIBIO::T_RESULT CZLIBIO::FileFailure(uint32_t nError)
{
    m_eState = EState::Failed;
    return T_RESULT{false, Z_ERRNO, nError};
}
