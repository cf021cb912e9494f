// The read job's run operation: opens and measures the drive, builds the
// pipeline, opens the image, runs the three stages while it posts
// progress, reports the result and cleans up.
#include "engine/read/disk_to_image.h"

#include <algorithm>

#include "engine/core/log.h"
#include "engine/core/progress.h"

CDiskToImage::~CDiskToImage()
{
    m_run.Stop();
    m_run.JoinStages();
    m_run.ReleaseParts();
}

T_ENGINE_RESULT CDiskToImage::Run(const T_ENGINE_JOB& job)
{
    if (job.arrDrives.size() != 1) {
        T_ENGINE_RESULT result;
        result.arrSlots.resize(job.arrDrives.size());
        return result;
    }
    m_job = job;
    m_run.Begin(job.wiring);
    Reset();
    LogInfo("READ %s => %s\n", m_strDiskName, m_job.strImage);

    bool bResult = false;
    m_bDiskReady = OpenDisk() && MeasureDisk();
    m_bStarted = m_bDiskReady && FormatWritten() && BuildPipeline() && !m_run.Stopped() && OpenImage();
    if (m_bStarted) {
        StartWorkers();
        m_run.PollUntilDone([this](bool) { PostProgress(); });
        m_run.JoinStages();
        ReportResult();
        bResult = m_reader.bSuccess && m_writer.bSuccess && m_digestStage.bSuccess;
    }
    const T_ENGINE_RESULT result = Results(bResult);
    m_run.ReleaseParts();
    m_pBuffer = nullptr;
    m_pWriteQueue = m_pDigestQueue = nullptr;
    CloseHandles(bResult);
    return result;
}

void CDiskToImage::Reset()
{
    const T_ENGINE_DRIVE& drive = m_job.arrDrives[0];
    m_strDiskName = drive.strName.empty() ? drive.strPath : drive.strName;
    for (T_STAGE* pStage : {&m_reader, &m_writer, &m_digestStage}) {
        pStage->dwError = 0;
        pStage->bSuccess = false;
        pStage->dSpeed = 0.0;
        pStage->nRemain = 0;
    }
    m_nTotal = 0;
    m_nImageBytes = 0;
    m_bDigestValid = false;
    m_bNoRoom = m_bImageUnfinished = m_bReadGaveUp = false;
    const T_JOB_OPTIONS& options = m_job.options;
    m_nAgreement = options.bUnstableRead ? std::max(options.nUnstableReadCount, 1) : 0;
}

// Without its blocks the job cannot run; it fails with the reason in the
// log instead of ending the whole program. Nothing has been written yet.
bool CDiskToImage::BuildPipeline()
{
    const uint32_t nBlocks = std::max(m_job.nBlocks, MIN_POOL_BLOCKS);
    m_pWriteQueue = m_run.NewQueue(nBlocks);
    m_pDigestQueue = m_run.NewQueue(nBlocks);
    m_pBuffer = m_run.BuildPool(BLOCK_SIZE, nBlocks);
    return m_pBuffer != nullptr;
}

// The reader, the writer and the digest thread, in that order. A thread
// that cannot be started stops the run (the run has logged why); those
// started end at once.
void CDiskToImage::StartWorkers()
{
    for (T_STAGE* pStage : {&m_reader, &m_writer, &m_digestStage}) pStage->nRemain = m_nTotal;
    if (!m_run.StartStage([this] { ReaderThread(); }).bStarted) return;
    if (!m_run.StartStage([this] { WriterThread(); }).bStarted) return;
    m_run.StartStage([this] { DigestThread(); });
}

// The result lines come from here, after every stage has ended, so they
// always stand in the same order: the digest, then the image's byte count.
void CDiskToImage::ReportResult()
{
    if (m_digestStage.bSuccess) LogInfo("DISK MD5SUM=%s\n", DigestText(m_digest));
    if (m_writer.bSuccess) LogInfo("%s - %I64u bytes dumped.\n", m_strDiskName, m_nImageBytes.load());
}

// The drive's slot is Ok when all of it reached the image. A read that
// failed on the image's side stopped the drive's.
T_ENGINE_RESULT CDiskToImage::Results(bool bOk) const
{
    T_ENGINE_RESULT result;
    result.bOk = bOk;
    result.dwError = m_writer.dwError;
    result.nTotal = m_nTotal;
    result.bImageUnfinished = m_bImageUnfinished;
    T_SLOT_RESULT& slot = result.arrSlots.emplace_back();
    slot.dwError = m_reader.dwError;
    slot.nBytes = m_nImageBytes;
    slot.bDigest = m_bDigestValid;
    slot.digest = m_digest;
    if (!m_bDiskReady) {
        slot.eVerdict = ESlotVerdict::NotOpened;
    } else if (!m_bStarted) {
        slot.eVerdict = ESlotVerdict::NotRun;
    } else if (m_reader.bSuccess && m_writer.bSuccess) {
        slot.eVerdict = ESlotVerdict::Ok;
    } else {
        slot.eVerdict = m_bReadGaveUp ? ESlotVerdict::ReadFailed : ESlotVerdict::Stopped;
    }
    return result;
}

void CDiskToImage::PostProgress()
{
    const uint64_t nRemainMax =
        std::max({m_reader.nRemain.load(), m_writer.nRemain.load(), m_digestStage.nRemain.load()});
    const uint64_t nSize = m_nTotal;
    const EPass ePass = m_job.options.bVerify ? EPass::ReadThenVerify : EPass::One;
    const T_JOB_FIGURES fig = ComputeJobFigures(nSize, nRemainMax, m_run.ElapsedMs(), ePass);
    m_run.PostValue(PROGRESS_TOTAL, fig.nPerMille);
    if (fig.bRemainKnown) m_run.PostValue(PROGRESS_REMAIN, fig.nRemainSeconds);
    m_run.PostValue(PROGRESS_IMAGE, StagePerMille(nSize, m_writer.nRemain));
    m_run.PostSpeed(PROGRESS_IMAGE_SPEED, m_writer.dSpeed);
    const auto nRow = static_cast<uint32_t>(m_job.arrDrives[0].nRow);
    m_run.PostValue(PROGRESS_DRIVE + nRow, StagePerMille(nSize, m_reader.nRemain));
    m_run.PostSpeed(PROGRESS_DRIVE_SPEED + nRow, m_reader.dSpeed);
}
