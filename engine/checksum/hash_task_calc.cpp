// One checksum calculation: the expected digest from the .md5sum file, the
// image read block by block (raw, or decoded: a gzip image only when it
// carries the gzip signature) into the digest, progress at most every
// 250 ms, and the closing reports.
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
// At most 4 MiB of image data in flight: a pool of 4 blocks of 1 MiB and a
// queue of 4 items between the reading side and the digest.
constexpr uint64_t BLOCK_SIZE = 0x100000;
constexpr uint32_t BLOCK_COUNT = 4;
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
    const T_MD5SUM_FILE expected = ReadMd5SumFile(*m_pDevices, job.strPath);
    m_bHashRequest = true;
    PostState(CHECKSUM_STATE_STARTED);
    T_ENGINE_WIRING wiring;
    wiring.pDevices = m_pDevices;
    wiring.fnStartThread = QuietStart();
    m_run.Begin(wiring);
    T_HASH_READ read;
    T_MD5_DIGEST digest{};
    if (m_run.BuildPool(BLOCK_SIZE, BLOCK_COUNT) && ReadImage(job, read, digest))
        ReportSuccess(digest, read, expected);
    else
        ReportFailure();
    m_run.ReleaseParts();
}

// The digest side runs while the image is read; a read that fails or is
// cancelled stops it.
bool CHashTask::ReadImage(const T_HASH_JOB& job, T_HASH_READ& read, T_MD5_DIGEST& digest)
{
    T_DIGEST side;
    side.pQueue = m_run.NewQueue(BLOCK_COUNT);
    if (!m_run.TryStartStage([this, &side] { DigestStage(side); }).bStarted) {
        side.pInLineMd5 = std::make_unique<CMd5>();
    }
    CFileMd5Devices fileMd5(*m_pDevices);
    CImageFileReader reader;
    const bool bRead = OpenImage(job, fileMd5, reader, read) && ReadBlocks(reader, side, read);
    if (!bRead) m_run.Stop();
    m_run.JoinStages();
    reader.Close();
    read.bFileDigest = bRead && read.bCompressed && fileMd5.Digest(read.nFileSize, read.fileDigest);
    digest = side.digest;
    return bRead && side.bEnded;
}

// Compressed as asked for; a gzip image only when a zlib library is bound
// (the reader holds a link to it), otherwise the file's bytes are the
// data. A compressed image is read through fileMd5, which digests its own
// bytes too.
bool CHashTask::OpenImage(const T_HASH_JOB& job, IDeviceProvider& fileMd5, CImageFileReader& reader,
                          T_HASH_READ& read)
{
    if (!reader.Open(*m_pDevices, job.strPath, EImageFormat::Raw)) {
        DebugTrace(FormatText("taskCalcHash() - CreateFile() failed. (ERR:%08X)\n", reader.LastError()));
        return false;
    }
    if (!reader.GetFileSize(read.nFileSize)) return false;
    const bool bGzip = job.eFormat == EImageFormat::Gzip;
    read.bCompressed = IsCompressedFormat(job.eFormat) && (!bGzip || ZlibBinding::IsLoaded());
    if (read.bCompressed) {
        // Reopened, the compressed stream starts again at offset 0.
        if (bGzip && !HasSignature(job.strPath, reader)) return false;
        if (!reader.Open(fileMd5, job.strPath, job.eFormat)) return false;
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

bool CHashTask::ReadBlocks(CImageFileReader& reader, T_DIGEST& digest, T_HASH_READ& read)
{
    CFixedBuffer& pool = *m_run.Pool();
    for (;;) {
        uint8_t* pBlock = pool.Alloc();
        if (!pBlock) return false;  // the digest side stopped the run
        uint32_t nGot = 0;
        if (!reader.ReadBlock(pBlock, static_cast<uint32_t>(BLOCK_SIZE), nGot, m_bHashAbort)) {
            pool.Free(pBlock);
            return false;
        }
        if (!PutBlock(digest, pBlock, nGot)) return false;
        if (nGot == 0) return true;  // the end-of-data item is in
        read.nDataBytes += nGot;
        ReportProgress(reader, read);
        if (m_bHashAbort) return false;
    }
}

// Hands one block (its reference) to the digest side; nCount 0 ends the
// data. False when the digest side no longer takes blocks: the block went
// back to the pool. Digesting in line, the queue has room for the block,
// and this side takes it out again at once.
bool CHashTask::PutBlock(T_DIGEST& digest, uint8_t* pBlock, uint64_t nCount)
{
    if (!digest.pQueue->Put(pBlock, nCount)) {
        m_run.Pool()->Free(pBlock);
        return false;
    }
    return !digest.pInLineMd5 || DigestNext(digest, *digest.pInLineMd5) != EDigestStep::Failed;
}

// The digest thread. Stopping early, it stops the run, so the reading side
// never waits for it.
void CHashTask::DigestStage(T_DIGEST& digest)
{
    CMd5 md5;
    for (;;) {
        const EDigestStep eStep = DigestNext(digest, md5);
        if (eStep == EDigestStep::End) return;
        if (eStep == EDigestStep::Failed) {
            m_run.Stop();
            return;
        }
    }
}

// Takes the next item of the queue into the digest. At the end-of-data
// item the digest is kept.
CHashTask::EDigestStep CHashTask::DigestNext(T_DIGEST& digest, CMd5& md5)
{
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    if (!digest.pQueue->Get(pData, nCount) || !pData) return EDigestStep::Failed;
    if (nCount > 0) md5.Update(pData, static_cast<size_t>(nCount));
    m_run.Pool()->Free(pData);
    if (!md5.IsValid()) {
        LogError("the MD5 digest could not be computed.\n");
        return EDigestStep::Failed;
    }
    if (nCount > 0) return EDigestStep::More;
    digest.digest = md5.Final();
    digest.bEnded = md5.IsValid();
    return digest.bEnded ? EDigestStep::End : EDigestStep::Failed;
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

void CHashTask::ReportSuccess(const T_MD5_DIGEST& digest, const T_HASH_READ& read, const T_MD5SUM_FILE& expected)
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
    PostHeapString(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_DIGEST, Md5Text(digest));
    if (expected.eState == EMd5SumFile::Missing) return;
    const bool bDigest = expected.eState == EMd5SumFile::Digest;
    LPARAM_T nVerdict = CHECKSUM_VERDICT_DIFFERS;
    if (bDigest && expected.digest == digest) nVerdict = 0;
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
