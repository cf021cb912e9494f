// The image writer's compressed image: one gzip member of the drive's
// bytes, written strictly in order. The member is finished with the block
// that brings the remaining length to 0, or on the end-of-data item when
// the drive ended early; a drive of 0 bytes gives an empty file.
//
// With more than one compression thread and a library that has what it
// takes, the member is compressed in chunks on those threads; otherwise it
// is one sequential stream on the writer's thread. Either way it is the
// same kind of file.
#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/read/disk_to_image.h"
#include "engine/zlib/zlib_failure.h"

// A stream that cannot start fails on its first block.
void CDiskToImage::StartCompressed()
{
    const uint32_t nThreads = CompressThreads();
    m_bParallelDeflate = false;
    if (nThreads > 1 && m_zlib.IsLoaded()) {
        const std::string strMissing = CParallelDeflate::MissingEntryPoints(m_zlib.EntryPoints());
        if (!strMissing.empty()) {
            DebugTrace(FormatText("CParallelDeflate: the zlib library lacks %s; one sequential stream\n", strMissing));
        } else if (m_parallelDeflate.Init(*m_hImage, m_zlib.EntryPoints(), nThreads).bOk) {
            m_bParallelDeflate = true;
            DebugTrace(FormatText("CParallelDeflate: %u threads\n", m_parallelDeflate.WorkerCount()));
        } else {
            DebugTrace("CParallelDeflate: no threads or memory for it; one sequential stream\n");
        }
    }
    if (!m_bParallelDeflate) m_zlib.InitWrite(*m_hImage);
}

bool CDiskToImage::WriteCompressedBlock(const uint8_t* pData, uint64_t nPos, uint32_t nCount, bool bLast)
{
    const CZLIBIO::T_RESULT res = m_bParallelDeflate ? m_parallelDeflate.WriteCompressFile(pData, nCount)
                                                     : m_zlib.WriteCompressFile(pData, nCount);
    if (!res.bOk) {
        DebugTrace("WriteCompressFile() ERROR\n");
        m_writer.dwError = res.nError;
        LogError("file compress write error (%08I64X-%08I64X).\n%s\n", nPos, nPos + nCount - 1, ZlibFailureText(res));
        return false;
    }
    return !bLast || CommitCompressed();
}

bool CDiskToImage::CommitCompressed()
{
    const CZLIBIO::T_RESULT res = m_bParallelDeflate ? m_parallelDeflate.CommitWrite() : m_zlib.CommitWrite();
    if (res.bOk) return true;
    m_writer.dwError = res.nError;
    LogError("file compress write error (commit).\n%s\n", ZlibFailureText(res));
    return false;
}

// Ends the stream on every path; the compression threads are gone after it.
void CDiskToImage::ReleaseCompressed()
{
    m_parallelDeflate.Release();
    m_zlib.Release();
    m_bParallelDeflate = false;
}
