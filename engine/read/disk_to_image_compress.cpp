// The image writer's compressed image: one gzip member or one zstd frame of
// the drive's bytes, written strictly in order through the format's
// writer. The stream is ended with the block that brings the remaining
// length to 0, on the end-of-data item when the drive ended early, or
// behind the last block handed in when the read was cut short (a stop, a
// drive that failed), so that the image always holds exactly the bytes it
// was given. A drive of 0 bytes gives an empty .gmz file and an empty zstd
// frame (zstd refuses an empty file). When the file system runs out of
// room, the stream is ended behind the last piece that is wholly in the
// file where its writer can do that (the parallel gzip member, the zstd
// frame); the sequential gzip member cannot be, and the image is then no
// usable image.
#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/read/disk_to_image.h"
#include "engine/zlib/gzip_image_writer.h"

// The format is checked before anything is opened for writing.
bool CDiskToImage::FormatWritten()
{
    m_eFormat = ImageFormatOf(m_job.options);
    if (IsWrittenFormat(m_eFormat)) return true;
    return ImageFailed(FormatText("this program writes no %s images.", ImageFormatName(m_eFormat)), 0);
}

// A stream that cannot start fails on its first block.
void CDiskToImage::StartCompressed()
{
    const T_JOB_OPTIONS& options = m_job.options;
    m_startFailure = T_IMAGE_WRITE_RESULT{};
    if (m_eFormat == EImageFormat::Gzip) {
        m_pCompressed = MakeGzipImageWriter(*m_hImage, CompressThreads(options.nCompressThreads));
        return;
    }
    const T_ZSTD_WRITE_SETTINGS settings{ZstdLevel(options.nCompressLevel), ZstdWorkers(options.nCompressThreads)};
    auto fnReopen = [this] {
        uint32_t nError = 0;
        return m_run.Devices().Open(m_job.strImage, EOpenMode::ReadImage, nError);
    };
    m_pCompressed = MakeZstdImageWriter(*m_hImage, settings, fnReopen, m_startFailure);
}

bool CDiskToImage::WriteCompressedBlock(const uint8_t* pData, uint64_t nPos, uint32_t nCount, bool bLast)
{
    const T_IMAGE_WRITE_RESULT res = m_pCompressed ? m_pCompressed->Write(pData, nCount) : m_startFailure;
    if (!res.bOk) return CompressFailed(res, FormatText("%08I64X-%08I64X", nPos, nPos + nCount - 1));
    return !bLast || CommitCompressed();
}

bool CDiskToImage::CommitCompressed()
{
    const T_IMAGE_WRITE_RESULT res = m_pCompressed ? m_pCompressed->Commit() : m_startFailure;
    return res.bOk || CompressFailed(res, "commit");
}

// Always false. A full file system is told by EndWhereWritten, with what
// the image then holds.
bool CDiskToImage::CompressFailed(const T_IMAGE_WRITE_RESULT& res, const std::string& strWhere)
{
    DebugTrace("WriteCompressFile() ERROR\n");
    m_writer.dwError = res.nError;
    m_bNoRoom = res.bNoRoom;
    if (!m_bNoRoom) LogError("file compress write error (%s).\n%s\n", strWhere, res.strWhy);
    return false;
}

// Ends the stream on every way out of the writer and settles what the image
// holds. bCommitted: the last block ended it already; bFailed: a block could
// not be written. False when a write or the end failed.
bool CDiskToImage::EndCompressed(bool bComplete, bool bCommitted, bool bFailed, uint64_t nHanded)
{
    bool bEnded = bCommitted;
    const bool bEmptyStream = bComplete && (m_nTotal > 0 || m_eFormat == EImageFormat::Zstd);
    if (!bEnded && !bFailed && (nHanded > 0 || bEmptyStream)) {
        bEnded = CommitCompressed();
        bFailed = !bEnded;
    }
    uint64_t nHeld = bEnded ? nHanded : 0;
    const uint64_t nFileBytes = m_pCompressed ? m_pCompressed->CompressedBytes() : 0;
    if (bFailed && m_bNoRoom) bEnded = EndWhereWritten(nFileBytes, nHeld);
    m_nImageBytes = nHeld;
    m_bImageUnfinished = !bEnded && nFileBytes > 0;
    ReleaseCompressed();
    return !bFailed;
}

// After the file system ran out of room: an empty file is the image of
// nothing; otherwise the stream ends behind the last piece in the file,
// where its writer can end it.
bool CDiskToImage::EndWhereWritten(uint64_t nFileBytes, uint64_t& nHeld)
{
    const std::string strError = GetSystemErrorText(m_writer.dwError);
    nHeld = 0;
    if (nFileBytes == 0 || (m_pCompressed && m_pCompressed->CommitWritten())) {
        if (nFileBytes > 0) nHeld = m_pCompressed->DataBytes();
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
    if (m_pCompressed) m_pCompressed->Release();
    m_pCompressed.reset();
}
