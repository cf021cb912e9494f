// The read job's run operation: opens and measures the drive, builds the
// pipeline, opens the image, runs the three workers while it posts
// progress, reports the result and cleans up.
#include "engine/read/disk_to_image.h"

#include <algorithm>
#include <system_error>

#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/core/tick.h"

namespace {
constexpr uint32_t MIN_BLOCKS = 16;
}

CDiskToImage::CDiskToImage() = default;

CDiskToImage::~CDiskToImage()
{
    StopWorkers();
    DeletePipeline();
}

bool CDiskToImage::Run(const std::string& strDevice, const std::string& strImage, uint32_t nBlocks)
{
    m_reader.bSuccess = m_writer.bSuccess = m_digestStage.bSuccess = false;
    m_bDigestValid = false;
    m_nImageBytes = 0;
    m_bNoRoom = m_bImageUnfinished = false;
    m_bVerifyFollows = g_bOptVerify;
    m_strImagePath = strImage;
    nBlocks = std::max(nBlocks, MIN_BLOCKS);
    if (m_strDiskName.empty()) m_strDiskName = strDevice;
    LogInfo("READ %s => %s\n", m_strDiskName, strImage);

    bool bResult = false;
    if (OpenDisk(strDevice) && MeasureDisk() && BuildPipeline(nBlocks) && !m_bAbortRequested &&
        OpenImage(strImage)) {
        StartWorkers();
        PollUntilDone();
        StopWorkers();
        ReportResult();
        bResult = m_reader.bSuccess && m_writer.bSuccess && m_digestStage.bSuccess;
    }
    DeletePipeline();
    CloseHandles(bResult);
    return bResult;
}

// Without its blocks the job cannot run; it fails with the reason in the
// log instead of ending the whole program. Nothing has been written yet.
bool CDiskToImage::BuildPipeline(uint32_t nBlocks)
{
    std::lock_guard lock(m_mutexParts);
    m_pWriteQueue = std::make_unique<CQueue>(nBlocks);
    m_pDigestQueue = std::make_unique<CQueue>(nBlocks);
    m_pBuffer = std::make_unique<CFixedBuffer>();
    if (m_pBuffer->Create(m_nBlockSize, nBlocks)) return true;
    LogError("out of memory.\n%s\n", GetSystemErrorText(SystemError::NoMemory()));
    m_pBuffer.reset();
    m_pWriteQueue.reset();
    m_pDigestQueue.reset();
    return false;
}

void CDiskToImage::StartWorkers()
{
    m_bAbort = m_bAbortRequested.load();
    for (T_STAGE* pStage : {&m_reader, &m_writer, &m_digestStage}) {
        pStage->bDone = false;
        pStage->bSuccess = false;
        pStage->dwError = 0;
        pStage->dSpeed = 0.0;
        pStage->nRemain = m_nTotal;
    }
    m_nRemainMax = m_nTotal;
    m_nAgreement = g_bOptUnstableRead ? std::max(g_nUnstableReadCount, 1) : 0;
    m_dwStartTick = GetTickCountMs();

    const std::pair<T_STAGE*, void (CDiskToImage::*)()> workers[] = {
        {&m_reader, &CDiskToImage::ReaderThread},
        {&m_writer, &CDiskToImage::WriterThread},
        {&m_digestStage, &CDiskToImage::DigestThread},
    };
    for (const auto& [pStage, pfnBody] : workers) {
        try {
            pStage->hThread = std::thread(pfnBody, this);
            pStage->idThread = pStage->hThread.get_id();
        } catch (const std::system_error& e) {
            LogError("CreateThread() failed.\n%s\n", GetSystemErrorText(static_cast<uint32_t>(e.code().value())));
            SetAbort();
            break;
        }
    }
}

// Posts progress every interval, and once more at the end; every post
// reflects the remaining counts at that moment, so the last one shows the
// finished state however quickly the stages ended.
void CDiskToImage::PollUntilDone()
{
    auto allDone = [this] { return m_reader.bDone && m_writer.bDone && m_digestStage.bDone; };
    while (!allDone() && !m_bAbort) {
        std::unique_lock lock(m_mutexPoll);
        m_cvPoll.wait_for(lock, std::chrono::milliseconds(m_dwInterval), [&] { return allDone() || m_bAbort.load(); });
        lock.unlock();
        PostProgress();
    }
    PostProgress();
}

// Stops whatever still runs: the flag stops every stage before its next
// block, and aborting the pool and the queues wakes every stage that waits.
void CDiskToImage::SetAbort()
{
    m_bAbort = true;
    {
        std::lock_guard lock(m_mutexParts);
        if (m_pWriteQueue) m_pWriteQueue->Abort();
        if (m_pDigestQueue) m_pDigestQueue->Abort();
        if (m_pBuffer) m_pBuffer->Abort();
    }
    std::lock_guard lock(m_mutexPoll);
    m_cvPoll.notify_all();
}

void CDiskToImage::Abort()
{
    m_bAbortRequested = true;
    SetAbort();
}

// A consumer's next block. False ends the consumer: the queue failed or
// gave a null block, or the drive ended early (an item of 0 bytes, after
// which the stage's remaining count is 0: everything the drive had has
// come through).
bool CDiskToImage::TakeBlock(CQueue& queue, T_STAGE& stage, uint8_t*& pData, uint64_t& nCount, uint64_t& nRemain)
{
    if (!queue.Get(pData, nCount) || !pData) return false;
    if (nCount > 0) return true;
    m_pBuffer->Free(pData);
    nRemain = 0;
    stage.nRemain = 0;
    return false;
}

void CDiskToImage::StageFinished(T_STAGE& stage)
{
    stage.dSpeed = 0.0;
    std::lock_guard lock(m_mutexPoll);
    stage.bDone = true;
    m_cvPoll.notify_all();
}

void CDiskToImage::StopWorkers()
{
    if (m_bAbort) SetAbort();
    for (T_STAGE* pStage : {&m_reader, &m_writer, &m_digestStage}) {
        if (pStage->hThread.joinable()) pStage->hThread.join();
    }
}

// The result lines come from here, after every worker has ended, so they
// always stand in the same order: the digest, then the image's byte count.
void CDiskToImage::ReportResult()
{
    if (m_digestStage.bSuccess) LogInfo("DISK MD5SUM=%s\n", Md5Text(m_digest));
    if (m_writer.bSuccess) LogInfo("%s - %I64u bytes dumped.\n", m_strDiskName, m_nImageBytes.load());
}

void CDiskToImage::DeletePipeline()
{
    std::lock_guard lock(m_mutexParts);
    m_pBuffer.reset();
    m_pWriteQueue.reset();
    m_pDigestQueue.reset();
}

void CDiskToImage::PostProgress()
{
    m_nRemainMax = std::max({m_reader.nRemain.load(), m_writer.nRemain.load(), m_digestStage.nRemain.load()});
    const uint64_t nSize = m_nTotal;
    const uint64_t nElapsed = GetTickCountMs() - m_dwStartTick;
    const EPass ePass = m_bVerifyFollows ? EPass::ReadThenVerify : EPass::One;
    const T_JOB_FIGURES fig = ComputeJobFigures(nSize, m_nRemainMax, nElapsed, ePass);
    PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_TOTAL, fig.nPerMille);
    if (fig.bRemainKnown) PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_REMAIN, fig.nRemainSeconds);
    PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_IMAGE, StagePerMille(nSize, m_writer.nRemain));
    PostProgressSpeed(m_hNotifyWnd, m_uProgressMsg, PROGRESS_IMAGE_SPEED, m_writer.dSpeed);
    const uint32_t nRow = static_cast<uint32_t>(m_nRow);
    PostProgressValue(m_hNotifyWnd, m_uProgressMsg, PROGRESS_DRIVE + nRow, StagePerMille(nSize, m_reader.nRemain));
    PostProgressSpeed(m_hNotifyWnd, m_uProgressMsg, PROGRESS_DRIVE_SPEED + nRow, m_reader.dSpeed);
}
