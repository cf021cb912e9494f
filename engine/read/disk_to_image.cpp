// The read job's run operation: opens the drive and the image, measures the
// drive, runs the three workers while it posts progress, and cleans up.
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
    nBlocks = std::max(nBlocks, MIN_BLOCKS);
    if (m_strDiskName.empty()) m_strDiskName = strDevice;
    LogInfo("READ %s => %s\n", m_strDiskName, strImage);

    bool bResult = false;
    if (OpenDisk(strDevice) && CreateImage(strImage) && MeasureDisk() && BuildPipeline(nBlocks)) {
        StartWorkers();
        PollUntilDone();
        StopWorkers();
        DeletePipeline();
        bResult = m_reader.bSuccess && m_writer.bSuccess && m_digestStage.bSuccess;
    }
    CloseHandles();
    return bResult;
}

bool CDiskToImage::OpenDisk(const std::string& strDevice)
{
    uint32_t nError = 0;
    const EOpenMode eMode = g_bOptShareRead ? EOpenMode::ReadDriveShared : EOpenMode::ReadDrive;
    m_hDisk = m_pDevices->Open(strDevice, eMode, nError);
    if (m_hDisk) return true;
    m_reader.dwError = nError;
    LogError("can't open disk %s.\n%s\n", strDevice, GetSystemErrorText(nError));
    return false;
}

bool CDiskToImage::CreateImage(const std::string& strImage)
{
    uint32_t nError = 0;
    const EOpenMode eFirst = g_bOptOverwrite ? EOpenMode::CreateImageAlways : EOpenMode::CreateImageNew;
    m_hImage = m_pDevices->Open(strImage, eFirst, nError);
    if (!m_hImage && nError == SystemError::FileExists() &&
        AskYesNo(m_pPrompt, m_hNotifyWnd, PROMPT_OVERWRITE, PROMPT_CAPTION)) {
        uint32_t nSecond = 0;
        m_hImage = m_pDevices->Open(strImage, EOpenMode::CreateImageAlways, nSecond);
    }
    if (m_hImage) return true;
    m_writer.dwError = nError;
    LogError("can't create file %s.\n%s\n", strImage, GetSystemErrorText(nError));
    return false;
}

bool CDiskToImage::MeasureDisk()
{
    uint32_t nError = 0;
    if (!GetDiskSize(*m_hDisk, m_nTotal, nError)) {
        m_reader.dwError = nError;
        LogError("GetDiskSize() failed.\n%s\n", GetSystemErrorText(nError));
        return false;
    }
    LogInfo("%s\n", m_strDiskName);
    LogInfo("  disk size=%I64u bytes.\n", m_nTotal);
    return true;
}

// Without its blocks the job cannot run; it fails with the reason in the
// log instead of ending the whole program.
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

void CDiskToImage::PollUntilDone()
{
    auto allDone = [this] { return m_reader.bDone && m_writer.bDone && m_digestStage.bDone; };
    while (!allDone() && !m_bAbort) {
        {
            std::unique_lock lock(m_mutexPoll);
            m_cvPoll.wait_for(lock, std::chrono::milliseconds(m_dwInterval),
                              [&] { return allDone() || m_bAbort.load(); });
        }
        m_nRemainMax = std::max({m_reader.nRemain.load(), m_writer.nRemain.load(), m_digestStage.nRemain.load()});
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
// which nRemain is 0: everything the drive had has come through).
bool CDiskToImage::TakeBlock(CQueue& queue, uint8_t*& pData, uint64_t& nCount, uint64_t& nRemain)
{
    if (!queue.Get(pData, nCount) || !pData) return false;
    if (nCount > 0) return true;
    m_pBuffer->Free(pData);
    nRemain = 0;
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

void CDiskToImage::DeletePipeline()
{
    std::lock_guard lock(m_mutexParts);
    m_pBuffer.reset();
    m_pWriteQueue.reset();
    m_pDigestQueue.reset();
}

// The image writer flushes the image on every way out, and nothing is
// written to it without the writer; closing is all that is left.
void CDiskToImage::CloseHandles()
{
    m_hDisk.reset();
    m_hImage.reset();
}

void CDiskToImage::PostProgress()
{
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
