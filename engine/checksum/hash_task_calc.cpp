// One checksum calculation: the expected digests from the .md5sum file and
// the SHA-256 files, the image read block by block (raw, or decoded: a gzip
// image only when it carries the gzip signature) into the digests, progress
// at most every
// 250 ms, and the closing reports.
#include <algorithm>

#include "engine/checksum/hash_task.h"
#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/core/tick.h"
#include "engine/device/file_digest_devices.h"
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

bool HoldsSha256(const T_DIGEST_FILE& file)
{
    return file.eState == EDigestFile::Digest && file.digest.eKind == EDigestKind::Sha256;
}

// What a SHA-256 file holds: the data's digest is looked for first, as a
// raw image's data are its file.
LPARAM_T Sha256Verdict(const T_DIGEST_FILE& file, const T_DIGEST_VALUE* pData, const T_DIGEST_VALUE* pFile)
{
    if (!HoldsSha256(file)) return SHA256_VERDICT_NEITHER;
    if (pData && file.digest == *pData) return SHA256_VERDICT_DATA;
    if (pFile && file.digest == *pFile) return SHA256_VERDICT_FILE;
    return SHA256_VERDICT_NEITHER;
}

}  // namespace

void CHashTask::Calculate(const T_HASH_JOB& job)
{
    T_HASH_EXPECTED expected;
    expected.md5sum = ReadMd5SumFile(*m_pDevices, job.strPath);
    for (const std::string& strPath : Sha256FilePathsOf(job.strPath))
        expected.arrSha256.push_back(ReadDigestFile(*m_pDevices, strPath, job.strPath));
    m_bHashRequest = true;
    PostState(CHECKSUM_STATE_STARTED);
    T_ENGINE_WIRING wiring;
    wiring.pDevices = m_pDevices;
    wiring.fnStartThread = QuietStart();
    m_run.Begin(wiring);
    T_HASH_READ read;
    read.bSha256 = std::any_of(expected.arrSha256.begin(), expected.arrSha256.end(), HoldsSha256);
    T_MD5_DIGEST digest{};
    if (m_run.BuildPool(BLOCK_SIZE, BLOCK_COUNT) && ReadImage(job, read, digest))
        ReportSuccess(digest, read, expected);
    else
        ReportFailure();
    m_run.ReleaseParts();
}

// The digest side runs while the image is read; a read that fails or is
// cancelled stops it. The data's SHA-256 is asked for with a compressed
// image only: a raw image's data are the file's bytes.
bool CHashTask::ReadImage(const T_HASH_JOB& job, T_HASH_READ& read, T_MD5_DIGEST& digest)
{
    T_DIGEST side;
    side.pQueue = m_run.NewQueue(BLOCK_COUNT);
    if (read.bSha256 && IsCompressedFormat(job.eFormat)) side.pSha256 = std::make_unique<CDigest>(EDigestKind::Sha256);
    side.bInLine = !m_run.TryStartStage([this, &side] { DigestStage(side); }).bStarted;
    std::vector<EDigestKind> arrFileKinds;
    if (IsCompressedFormat(job.eFormat)) arrFileKinds.push_back(EDigestKind::Md5);
    if (read.bSha256) arrFileKinds.push_back(EDigestKind::Sha256);
    CFileDigestDevices fileDigests(*m_pDevices, arrFileKinds);
    CImageFileReader reader;
    const bool bRead = OpenImage(job, fileDigests, reader, read) && ReadBlocks(reader, side, read);
    if (!bRead) m_run.Stop();
    m_run.JoinStages();
    reader.Close();
    const bool bDone = bRead && side.bEnded;
    read.bFileMd5 = bDone && read.bCompressed && fileDigests.Digest(EDigestKind::Md5, read.nFileSize, read.fileMd5);
    read.bFileSha256 = bDone && fileDigests.Digest(EDigestKind::Sha256, read.nFileSize, read.fileSha256);
    read.bDataSha256 = bDone && read.bCompressed && side.pSha256;
    read.dataSha256 = side.sha256;
    digest = side.digest;
    return bDone;
}

// Compressed as asked for; a gzip image only when a zlib library is bound
// (the reader holds a link to it), otherwise the file's bytes are the
// data. The image is read through fileDigests, which digests the file's
// own bytes too.
bool CHashTask::OpenImage(const T_HASH_JOB& job, IDeviceProvider& fileDigests, CImageFileReader& reader,
                          T_HASH_READ& read)
{
    if (!reader.Open(fileDigests, job.strPath, EImageFormat::Raw)) {
        DebugTrace(FormatText("taskCalcHash() - CreateFile() failed. (ERR:%08X)\n", reader.LastError()));
        return false;
    }
    if (!reader.GetFileSize(read.nFileSize)) return false;
    const bool bGzip = job.eFormat == EImageFormat::Gzip;
    read.bCompressed = IsCompressedFormat(job.eFormat) && (!bGzip || ZlibBinding::IsLoaded());
    if (read.bCompressed) {
        // Reopened, the compressed stream starts again at offset 0.
        if (bGzip && !HasSignature(job.strPath, reader)) return false;
        if (!reader.Open(fileDigests, job.strPath, job.eFormat)) return false;
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
    return !digest.bInLine || DigestNext(digest) != EDigestStep::Failed;
}

// The digest thread. Stopping early, it stops the run, so the reading side
// never waits for it.
void CHashTask::DigestStage(T_DIGEST& digest)
{
    for (;;) {
        const EDigestStep eStep = DigestNext(digest);
        if (eStep == EDigestStep::End) return;
        if (eStep == EDigestStep::Failed) {
            m_run.Stop();
            return;
        }
    }
}

// Takes the next item of the queue into the digests. At the end-of-data
// item the digests are kept.
CHashTask::EDigestStep CHashTask::DigestNext(T_DIGEST& digest)
{
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    if (!digest.pQueue->Get(pData, nCount) || !pData) return EDigestStep::Failed;
    if (nCount > 0) digest.md5.Update(pData, static_cast<size_t>(nCount));
    if (nCount > 0 && digest.pSha256) digest.pSha256->Update(pData, static_cast<size_t>(nCount));
    m_run.Pool()->Free(pData);
    const bool bSha256Failed = digest.pSha256 && !digest.pSha256->IsValid();
    if (!digest.md5.IsValid() || bSha256Failed) {
        LogError("the %s digest could not be computed.\n", bSha256Failed ? "SHA-256" : "MD5");
        return EDigestStep::Failed;
    }
    if (nCount > 0) return EDigestStep::More;
    digest.digest = digest.md5.Final();
    if (digest.pSha256) digest.sha256 = digest.pSha256->Final();
    digest.bEnded = digest.md5.IsValid() && (!digest.pSha256 || digest.pSha256->IsValid());
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

void CHashTask::ReportSuccess(const T_MD5_DIGEST& digest, const T_HASH_READ& read, const T_HASH_EXPECTED& sums)
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
    PostHeapString(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_DIGEST, DigestText(digest));
    ReportSha256(read, sums);
    const T_MD5SUM_FILE& expected = sums.md5sum;
    if (expected.eState == EMd5SumFile::Missing) return;
    const bool bDigest = expected.eState == EMd5SumFile::Digest;
    LPARAM_T nVerdict = CHECKSUM_VERDICT_DIFFERS;
    if (bDigest && expected.digest == digest) nVerdict = 0;
    else if (bDigest && read.bFileMd5 && std::ranges::equal(expected.digest, read.fileMd5.Bytes()))
        nVerdict = CHECKSUM_VERDICT_OF_FILE;
    PostNotify(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_VERDICT, nVerdict);
}

// The SHA-256 digests that were computed, then a verdict for each SHA-256
// file that is there.
void CHashTask::ReportSha256(const T_HASH_READ& read, const T_HASH_EXPECTED& sums)
{
    if (read.bFileSha256)
        PostHeapString(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_FILE_SHA256, DigestText(read.fileSha256));
    if (read.bDataSha256)
        PostHeapString(m_hNotifyWnd, WM_CHECKSUM_RESULT, CHECKSUM_DATA_SHA256, DigestText(read.dataSha256));
    constexpr WPARAM_T VERDICTS[] = {CHECKSUM_VERDICT_SHA256SUM, CHECKSUM_VERDICT_SHA256};
    for (size_t i = 0; i < sums.arrSha256.size() && i < std::size(VERDICTS); ++i) {
        const T_DIGEST_FILE& file = sums.arrSha256[i];
        if (file.eState == EDigestFile::Missing) continue;
        const LPARAM_T nVerdict = Sha256Verdict(file, read.bDataSha256 ? &read.dataSha256 : nullptr,
                                                read.bFileSha256 ? &read.fileSha256 : nullptr);
        PostNotify(m_hNotifyWnd, WM_CHECKSUM_RESULT, VERDICTS[i], nVerdict);
    }
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
