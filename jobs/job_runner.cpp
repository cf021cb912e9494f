// The job runner's run: the steps of one job in order, and the abort.
#include "jobs/job_runner.h"

#include "engine/compare/compare_disk_image.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/erase/erase_disk.h"
#include "engine/read/disk_to_image.h"
#include "engine/write/image_to_disk.h"
#include "jobs/date_time.h"
#include "jobs/job_ports.h"
#include "jobs/job_run.h"

std::mutex g_csDumpTask;
CDiskToImage* g_pDiskToImage = nullptr;
CImageToDisk* g_pImageToDisk = nullptr;
CCompareDiskImage* g_pCompareDiskImage = nullptr;
CEraseDisk* g_pEraseDisk = nullptr;

namespace {

constexpr int MIN_BUFFER_MIB = 16;
// A drive transfer still waiting this long after it began has stopped
// answering; an abort tells it to give up where the platform can.
constexpr uint32_t STALLED_TRANSFER_MS = 1000;
IDeviceProvider* g_pJobDevices = nullptr;  // the running job's; under g_csDumpTask
// Set by an abort; the pre-flight reads it while it reads an image's tail.
// Cleared when a job starts: an abort that comes earlier is repeated by
// its caller until the job has ended.
std::atomic<bool> g_bAbortRequested{false};
constexpr const char* STAMP_FORMAT = "%04Y/%02M/%02D %02h:%02m:%02s";

// The job's options become the published snapshot; an image is never
// replaced without the read's question.
void PublishOptions(const T_DUMPTASK_PARAM& param)
{
    T_JOB_OPTIONS options;
    options.bVerify = param.bVerify;
    options.bEject = param.bEject;
    options.bShareRead = param.bShareRead;
    options.bForceWrite = param.bForceWrite;
    options.bForceVerify = param.bForceVerify;
    options.bSharedWrite = param.bSharedWrite;
    options.bCompareAfterWrite = param.bCompareAfterWrite;
    options.bMD5Verify = param.bMD5Verify;
    options.bUnstableRead = param.bUnstableRead;
    options.nUnstableReadCount = param.nUnstableReadCount;
    options.bMakeMD5SUM = param.bMakeMD5SUM;
    options.bCompressImage = param.bCompressImage;
    options.eImageFormat = param.eImageFormat;
    options.nCompressThreads = param.nCompressThreads;
    options.strCheckFile = param.strCheckFile;
    options.nCompressLevel = param.nCompressLevel;
    options.bOverwrite = false;
    PublishJobOptions(options);
}

void RegisterDevices(IDeviceProvider* pDevices)
{
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    g_pJobDevices = pDevices;
}

void ClearRegistrations()
{
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    g_pDiskToImage = nullptr;
    g_pImageToDisk = nullptr;
    g_pCompareDiskImage = nullptr;
    g_pEraseDisk = nullptr;
}

void RunJobKind(T_JOB_RUN& run)
{
    switch (run.param.nTask) {
    case DUMPTASK_READ: RunReadJob(run); break;
    case DUMPTASK_WRITE: RunWriteJob(run); break;
    case DUMPTASK_VERIFY: RunVerifyJob(run); break;
    case DUMPTASK_ERASE: RunEraseJob(run); break;
    }
}

void PostResults(const T_JOB_RUN& run)
{
    if (run.param.hWnd == nullptr) return;
    for (size_t i = 0; i < run.arrDrives.size(); ++i)
        PostNotify(run.param.hWnd, run.param.uMsgError, run.arrResult[i] ? 1 : 0, run.arrDrives[i].nSlot);
}

// The executable's folder plus "\Success.wav", or "\Error.wav" when a drive
// of the job failed.
void PlayCompletionSound(const T_JOB_RUN& run)
{
    IJobSound* pSound = GetJobSound();
    if (pSound == nullptr) return;
    bool bFailed = false;
    for (const bool bResult : run.arrResult) bFailed |= !bResult;
    pSound->PlayFile(pSound->ProgramFolder() + (bFailed ? "\\Error.wav" : "\\Success.wav"));
}

}  // namespace

int32_t RunDumpTask(T_DUMPTASK_PARAM* pParam)
{
    CDateTime start;
    start.SetNow();
    LogInfo("%s START.\n", start.Format(STAMP_FORMAT));

    PublishOptions(*pParam);
    g_bAbortRequested = false;
    if (pParam->nTask < DUMPTASK_READ || pParam->nTask > DUMPTASK_ERASE) return -1;
    T_JOB_RUN run{*pParam, pParam->pDevices ? *pParam->pDevices : GetPlatformDevices(), PublishedJobOptions(), {}, {},
                  {}, 16, {}};
    run.nBlocks = static_cast<uint32_t>(pParam->nBufferMiB < MIN_BUFFER_MIB ? MIN_BUFFER_MIB : pParam->nBufferMiB);
    BuildDriveList(run);
    BuildVolumeList(run);
    if (PassPreflight(run, g_bAbortRequested)) {
        LockVolumes(run);
        ClearRegistrations();
        RegisterDevices(&run.devices);
        RunJobKind(run);
        RegisterDevices(nullptr);
        ClearRegistrations();
        ReleaseVolumes(run);
    } else {
        SummaryRefused(run);
    }
    PostResults(run);
    PlayCompletionSound(run);
    CDateTime end;
    end.SetNow();
    LogInfo("%s END.\n", end.Format(STAMP_FORMAT));
    CDateTime duration = end;
    LogInfo("%s\n\n", duration.SubtractMicroseconds(start.GetMicroseconds()).Format("Processing Time %02h:%02m:%02s.%03t."));
    return 0;
}

int32_t DumpTaskThread(T_DUMPTASK_PARAM* pParam)
{
    const int32_t nResult = RunDumpTask(pParam);
    if (pParam->hWnd) PostNotify(pParam->hWnd, pParam->uMsgEnd, 0, static_cast<LPARAM_T>(nResult));
    return nResult;
}

void AbortDumpTask()
{
    g_bAbortRequested = true;
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    if (g_pDiskToImage) g_pDiskToImage->Abort();
    if (g_pImageToDisk) g_pImageToDisk->Abort();
    if (g_pCompareDiskImage) g_pCompareDiskImage->Abort();
    if (g_pEraseDisk) g_pEraseDisk->Abort();
    if (g_pJobDevices) g_pJobDevices->CancelWaitingTransfers(STALLED_TRANSFER_MS);
}
