// The image writer's compressed image: one gzip member of the drive's
// bytes, written strictly in order. The member is finished with the block
// that brings the remaining length to 0, on the end-of-data item when the
// drive ended early, or behind the last block handed in when the read was
// cut short (a stop, a drive that failed), so that the image always holds
// exactly the bytes it was given. A drive of 0 bytes gives an empty file.
// When the file system runs out of room, the parallel stream is ended
// behind the last piece that is wholly in the file; the sequential one
// cannot be, and the image is then no usable image.
//
// With more than one compression thread and a library that has what it
// takes, the member is compressed in chunks on those threads; otherwise it
// is one sequential stream on the writer's thread. Either way it is the
// same kind of file.
#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/read/disk_to_image.h"
#include "engine/zlib/zlib_binding.h"
#include "engine/zlib/zlib_failure.h"

// A stream that cannot start fails on its first block.
void CDiskToImage::StartCompressed()
{
    const uint32_t nThreads = CompressThreads(m_job.options.nCompressThreads);
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
    if (!res.bOk) return CompressFailed(res, FormatText("%08I64X-%08I64X", nPos, nPos + nCount - 1));
    return !bLast || CommitCompressed();
}

bool CDiskToImage::CommitCompressed()
{
    const CZLIBIO::T_RESULT res = m_bParallelDeflate ? m_parallelDeflate.CommitWrite() : m_zlib.CommitWrite();
    return res.bOk || CompressFailed(res, "commit");
}

// Always false. A full file system is told by EndWhereWritten, with what
// the image then holds.
bool CDiskToImage::CompressFailed(const CZLIBIO::T_RESULT& res, const std::string& strWhere)
{
    DebugTrace("WriteCompressFile() ERROR\n");
    m_writer.dwError = res.nError;
    m_bNoRoom = res.nZlibResult == Z_ERRNO && SystemError::IsNoRoom(res.nError);
    if (!m_bNoRoom) LogError("file compress write error (%s).\n%s\n", strWhere, ZlibFailureText(res));
    return false;
}

// Ends the member on every way out of the writer and settles what the image
// holds. bCommitted: the last block ended it already; bFailed: a block could
// not be written. False when a write or the end failed.
bool CDiskToImage::EndCompressed(bool bComplete, bool bCommitted, bool bFailed, uint64_t nHanded)
{
    bool bEnded = bCommitted;
    if (!bEnded && !bFailed && (nHanded > 0 || (bComplete && m_nTotal > 0))) {
        bEnded = CommitCompressed();
        bFailed = !bEnded;
    }
    uint64_t nHeld = bEnded ? nHanded : 0;
    const uint64_t nFileBytes = m_bParallelDeflate ? m_parallelDeflate.CompressedBytes() : m_zlib.CompressedBytes();
    if (bFailed && m_bNoRoom) bEnded = EndWhereWritten(nFileBytes, nHeld);
    m_nImageBytes = nHeld;
    m_bImageUnfinished = !bEnded && nFileBytes > 0;
    ReleaseCompressed();
    return !bFailed;
}

// After the file system ran out of room: an empty file is the image of
// nothing; otherwise the parallel stream ends behind the last piece in the
// file, and the sequential one cannot end anywhere but at its end.
bool CDiskToImage::EndWhereWritten(uint64_t nFileBytes, uint64_t& nHeld)
{
    const std::string strError = GetSystemErrorText(m_writer.dwError);
    nHeld = 0;
    if (nFileBytes == 0 || (m_bParallelDeflate && m_parallelDeflate.CommitWritten().bOk)) {
        if (nFileBytes > 0) nHeld = m_parallelDeflate.DataBytes();
        LogError("no room for the image %s; it holds %I64u bytes.\n%s\n", m_job.strImage, nHeld, strError);
        return true;
    }
    LogError("no room for the image %s; its compressed data could not be ended, so it is not a usable image.\n%s\n",
             m_job.strImage, strError);
    return false;
}

// Ends the stream on every path; the compression threads are gone after it.
void CDiskToImage::ReleaseCompressed()
{
    m_parallelDeflate.Release();
    m_zlib.Release();
    m_bParallelDeflate = false;
}
