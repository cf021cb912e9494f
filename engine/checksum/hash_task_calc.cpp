// One checksum calculation: the expected digest from the .md5sum file, the
// image read block by block (raw, or inflated when it carries the gzip
// signature) into the digest, progress at most every 250 ms, and the
// closing reports.
#include <algorithm>

#include "engine/checksum/file_md5_devices.h"
#include "engine/checksum/hash_task.h"
#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/core/tick.h"
#include "engine/zlib/image_file_reader.h"
#include "engine/zlib/zlib_binding.h"

namespace {

constexpr uint32_t REPORT_INTERVAL_MS = 250;
constexpr uint8_t GZIP_SIGNATURE[4] = {0x1F, 0x8B, 0x08, 0x00};

// The share of the file consumed; a file that grew while it was read
// shows no more than all of it.
int64_t FilePerMille(uint64_t nDone, uint64_t nSize)
{
    const double dPerMille = static_cast<double>(nDone) / static_cast<double>(nSize) * 1000.0;
    return std::min<int64_t>(static_cast<int64_t>(dPerMille), 1000);
}

}  // namespace

void CHashTask::Calculate(const T_HASH_JOB& job)
{
    T_CALC_MD5HASH_PARAM param;
    param.pOwner = this;
    const bool bPool = param.Create();
    const T_MD5SUM_FILE expected = ReadMd5SumFile(*m_pDevices, job.strPath);
    m_bHashRequest = true;
    PostState(CHECKSUM_STATE_STARTED);
    if (!bPool) LogError("out of memory.\n%s\n", GetSystemErrorText(SystemError::NoMemory()));
    T_HASH_READ read;
    if (bPool && ReadImage(job, param, read))
        ReportSuccess(param, read, expected);
    else
        ReportFailure();
}

bool CHashTask::ReadImage(const T_HASH_JOB& job, T_CALC_MD5HASH_PARAM& param, T_HASH_READ& read)
{
    CDigestRun digest(param);
    digest.Start(QuietStart());
    CFileMd5Devices fileMd5(*m_pDevices);
    CImageFileReader reader;
    const bool bRead = OpenImage(job, fileMd5, reader, read) && ReadBlocks(reader, digest, param, read);
    if (!bRead) digest.Abort();
    const bool bDigest = digest.Finish();
    reader.Close();
    read.bFileDigest = bRead && read.bCompressed && fileMd5.Digest(read.nFileSize, read.fileDigest);
    return bRead && bDigest;
}

// Compressed only when asked for and a zlib library is bound (the reader
// holds a link to it); otherwise the file's bytes are the data. A
// compressed image is read through fileMd5, which digests its own bytes too.
bool CHashTask::OpenImage(const T_HASH_JOB& job, IDeviceProvider& fileMd5, CImageFileReader& reader,
                          T_HASH_READ& read)
{
    if (!reader.Open(*m_pDevices, job.strPath, false)) {
        DebugTrace(FormatText("taskCalcHash() - CreateFile() failed. (ERR:%08X)\n", reader.LastError()));
        return false;
    }
    if (!reader.GetFileSize(read.nFileSize)) return false;
    read.bCompressed = job.bCompressed && ZlibBinding::IsLoaded();
    if (read.bCompressed) {
        // Reopened, the compressed stream starts again at offset 0.
        if (!HasSignature(job.strPath, reader) || !reader.Open(fileMd5, job.strPath, true)) return false;
    }
    PostProgressValue(m_hNotifyWnd, WM_ENGINE_PROGRESS, PROGRESS_CHECKSUM, 0);
    PostHeapString(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_SIZE,
                   read.bCompressed ? std::string("0") : FormatText("%I64u", read.nFileSize));
    read.dwLastReport = GetTickCountMs();
    return true;
}

// A compressed image starts with a gzip header without name, comment or
// extra field. An empty file is the compressed image of a drive of 0
// bytes, as the read engine writes it.
bool CHashTask::HasSignature(const std::string& strPath, CImageFileReader& reader)
{
    uint8_t head[sizeof GZIP_SIGNATURE] = {};
    uint32_t nGot = 0;
    if (!reader.ReadBlock(head, sizeof head, nGot, m_bHashAbort)) return false;
    if (nGot == 0 || (nGot == sizeof head && std::equal(head, head + nGot, GZIP_SIGNATURE))) return true;
    LogError("%s is not a compressed image: it does not start with 1F 8B 08 00.\n", strPath);
    return false;
}

bool CHashTask::ReadBlocks(CImageFileReader& reader, CDigestRun& digest, T_CALC_MD5HASH_PARAM& param,
                           T_HASH_READ& read)
{
    const auto nBlock = static_cast<uint32_t>(param.nBlockSize);
    for (;;) {
        uint8_t* pBlock = param.m_pBuffer->Alloc();
        if (!pBlock) return false;  // the digest side stopped and aborted the pool
        uint32_t nGot = 0;
        if (!reader.ReadBlock(pBlock, nBlock, nGot, m_bHashAbort)) {
            param.m_pBuffer->Free(pBlock);
            return false;
        }
        if (!digest.Put(pBlock, nGot)) return false;
        if (nGot == 0) return true;  // the end-of-data item is in
        read.nDataBytes += nGot;
        ReportProgress(reader, read);
        if (m_bHashAbort) return false;
    }
}

void CHashTask::ReportProgress(const CImageFileReader& reader, T_HASH_READ& read)
{
    const uint32_t dwNow = GetTickCountMs();
    if (read.nFileSize == 0 || dwNow - read.dwLastReport <= REPORT_INTERVAL_MS) return;
    read.dwLastReport = dwNow;
    PostProgressValue(m_hNotifyWnd, WM_ENGINE_PROGRESS, PROGRESS_CHECKSUM,
                      FilePerMille(reader.FileBytes(), read.nFileSize));
    if (!read.bCompressed) return;
    m_nImageSize = read.nDataBytes;
    PostHeapString(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_SIZE, FormatText("%I64u", read.nDataBytes));
}

void CHashTask::ReportSuccess(const T_CALC_MD5HASH_PARAM& param, const T_HASH_READ& read,
                              const T_MD5SUM_FILE& expected)
{
    {
        // A request that came in meanwhile has cleared these for its own
        // image; this result must not set them again.
        std::lock_guard lock(m_mutexShare);
        if (!m_bHashSignalled) {
            if (read.bCompressed) m_bHashValid = true;
            m_bHashRequest = false;
        }
    }
    m_nImageSize = read.nDataBytes;
    PostProgressValue(m_hNotifyWnd, WM_ENGINE_PROGRESS, PROGRESS_CHECKSUM, 1000);
    if (read.bCompressed)
        PostHeapString(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_SIZE, FormatText("%I64u", read.nDataBytes));
    PostHeapString(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_DIGEST, Md5Text(param.digest));
    if (expected.eState == EMd5SumFile::Missing) return;
    const bool bDigest = expected.eState == EMd5SumFile::Digest;
    LPARAM_T nVerdict = CHECKSUM_VERDICT_DIFFERS;
    if (bDigest && expected.digest == param.digest) nVerdict = 0;
    else if (bDigest && read.bFileDigest && expected.digest == read.fileDigest) nVerdict = CHECKSUM_VERDICT_OF_FILE;
    PostNotify(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_VERDICT, nVerdict);
}

void CHashTask::ReportFailure()
{
    PostProgressValue(m_hNotifyWnd, WM_ENGINE_PROGRESS, PROGRESS_CHECKSUM, 0);
    PostState(m_bHashAbort ? CHECKSUM_STATE_CANCELLED : CHECKSUM_STATE_FAILED);
}

void CHashTask::PostState(LPARAM_T nState)
{
    PostNotify(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_STATE, nState);
}
