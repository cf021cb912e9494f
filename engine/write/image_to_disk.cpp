// The write job's run operation: builds the pipeline, opens and checks
// everything, runs the reader and the writers while it posts progress,
// and closes every handle at the end, whatever happened.
#include "engine/write/image_to_disk.h"

#include <algorithm>

#include "engine/core/log.h"
#include "engine/core/progress.h"

CImageToDisk::~CImageToDisk()
{
    m_run.Stop();
    m_run.JoinStages();
    CloseAndDelete();
}

T_ENGINE_RESULT CImageToDisk::Run(const T_ENGINE_JOB& job)
{
    const size_t nCount = job.arrDrives.size();
    if (nCount < 1 || nCount > MAX_TARGETS) {
        T_ENGINE_RESULT result;
        result.arrSlots.resize(nCount);
        return result;
    }
    m_job = job;
    m_run.Begin(job.wiring);
    MakeSlots();
    LogHeadLine();
    if (BuildPipeline() && Prepare() && !m_run.Stopped()) {
        TakeOwnBlocks();
        StartWorkers();
        m_run.PollUntilDone([this](bool bFinal) {
            UpdateRemainMax(bFinal);
            PostProgress();
        });
        m_run.JoinStages();
    }
    const T_ENGINE_RESULT result = Results();
    CloseAndDelete();
    return result;
}

void CImageToDisk::MakeSlots()
{
    m_slots.clear();
    for (const T_ENGINE_DRIVE& drive : m_job.arrDrives) {
        T_SLOT& t = m_slots.emplace_back();
        t.strPath = drive.strPath;
        t.strName = drive.strName.empty() ? drive.strPath : drive.strName;
        t.nRow = drive.nRow;
    }
    m_pReader = nullptr;
    m_dwReaderError = 0;
    m_bReaderResult = m_bImageMd5Valid = false;
    m_nTotal = 0;
    PrepareImageDigests();
    // A stop takes every slot's blocks away: no writer takes another one.
    m_run.WakeOnStop([this] {
        for (T_SLOT& t : m_slots) t.bStopped = true;
    });
}

// "WRITE <image> => <first>, <second>, ...": one line, posted whole.
void CImageToDisk::LogHeadLine()
{
    std::string strLine = "WRITE" + FormatText(" %s => %s", m_job.strImage, m_slots[0].strName);
    for (size_t i = 1; i < m_slots.size(); ++i) strLine += FormatText(", %s", m_slots[i].strName);
    LogInfo("%s", strLine + "\n");
}

// A queue for every slot and the pool. Without its blocks the job fails
// with the reason in the log; no device has been opened yet.
bool CImageToDisk::BuildPipeline()
{
    const uint32_t nBlocks = std::max(m_job.nBlocks, MIN_POOL_BLOCKS);
    for (T_SLOT& t : m_slots) t.pQueue = m_run.NewQueue(nBlocks);
    m_pBuffer = m_run.BuildPool(BLOCK_SIZE, nBlocks);
    return m_pBuffer != nullptr;
}

// Each writer that compares or reads back gets its block now, while the
// whole pool is free: the reader, which may fill every other block, can
// then never leave a writer waiting for one. (At most 4 of the pool's 16 or
// more blocks; a pool aborted meanwhile gives none, and the run stops.)
void CImageToDisk::TakeOwnBlocks()
{
    if (!m_job.options.bCompareAfterWrite && !m_job.options.bMD5Verify) return;
    for (T_SLOT& t : m_slots) {
        if (t.bActive) t.pOwnBlock = m_pBuffer->Alloc();
    }
}

// The reader first, then a writer per active slot. A thread that cannot be
// started stops the whole run (the run has logged why).
void CImageToDisk::StartWorkers()
{
    m_nReaderRemain = m_nTotal;
    m_dReaderSpeed = 0.0;
    for (T_SLOT& t : m_slots) t.nRemain = t.nMd5Remain = m_nTotal;
    m_nRemainMax = m_nMd5RemainMax = m_nTotal;
    StartDataDigest();
    T_RUN_STAGE& reader = m_run.StartStage([this] { ImageReaderThread(); });
    if (!reader.bStarted) {
        m_dwReaderError = reader.dwError;
        return;
    }
    m_pReader = &reader;
    for (T_SLOT& t : m_slots) {
        if (!t.bActive) continue;
        T_RUN_STAGE& writer = m_run.StartStage([this, &t] { DiskWriterThread(t); });
        if (!writer.bStarted) {
            t.dwError = writer.dwError;
            t.eVerdict = ESlotVerdict::Stopped;
            t.bStopped = true;
            return;
        }
        t.pStage = &writer;
    }
}

// A slot is Ok when its drive got the whole length and the reader
// delivered all of it: a write cut short on the image's side leaves the
// drive changed but not holding the image. (A stop that comes after the
// reader has ended, during the read-back, leaves the write as it was.)
T_ENGINE_RESULT CImageToDisk::Results() const
{
    T_ENGINE_RESULT result;
    result.bOk = !m_run.Stopped() && m_bReaderResult &&
                 std::all_of(m_slots.begin(), m_slots.end(), [](const T_SLOT& t) { return !t.bActive || t.bWritten; });
    result.dwError = m_dwReaderError;
    result.nTotal = m_nTotal;
    result.bDigest = m_bImageMd5Valid;
    result.digest = m_ImageMd5;
    result.imageDigests = m_imageDigests;
    for (const T_SLOT& t : m_slots) {
        T_SLOT_RESULT slot;
        slot.eVerdict = t.eVerdict;
        if (t.bWritten) slot.eVerdict = m_bReaderResult ? ESlotVerdict::Ok : ESlotVerdict::Stopped;
        slot.dwError = t.dwError;
        slot.nBytes = t.nBytes;
        slot.bDigest = t.bDigest;
        slot.digest = t.digest;
        result.arrSlots.push_back(slot);
    }
    return result;
}

// Every target and the image are closed; the own blocks go back before the
// pool itself goes.
void CImageToDisk::CloseAndDelete()
{
    for (T_SLOT& t : m_slots) t.hDisk.reset();
    m_image.Close();
    m_run.ReleaseParts([this] {
        for (T_SLOT& t : m_slots) {
            if (t.pOwnBlock && m_pBuffer) m_pBuffer->Free(t.pOwnBlock);
            t.pOwnBlock = nullptr;
            t.pQueue = nullptr;
        }
    });
    m_pBuffer = nullptr;
}

// The largest remainders to write and to read back. While the run goes on
// only targets that still work count (a dropped or finished target would
// hold the figure where it stopped); unchanged when none does. At the end
// every active target counts, so the last figure shows what was not done.
void CImageToDisk::UpdateRemainMax(bool bFinal)
{
    bool bAny = false;
    uint64_t nRemain = 0;
    uint64_t nMd5Remain = 0;
    for (const T_SLOT& t : m_slots) {
        if (!t.bActive) continue;
        if (!bFinal && (t.bStopped || (t.pStage && t.pStage->bDone))) continue;
        bAny = true;
        nRemain = std::max(nRemain, t.nRemain.load());
        nMd5Remain = std::max(nMd5Remain, t.nMd5Remain.load());
    }
    if (!bAny) return;
    m_nRemainMax = nRemain;
    m_nMd5RemainMax = nMd5Remain;
}

// The whole job, the image reader, then every target's row. With the MD5
// check the job counts as twice its length (the write, then the
// read-back), and the figure keeps moving while the targets read back.
void CImageToDisk::PostProgress()
{
    const uint64_t nTotal = m_nTotal;
    const uint64_t nElapsed = m_run.ElapsedMs();
    T_JOB_FIGURES fig;
    if (VerifyFollows()) {
        fig = ComputeJobFigures(nTotal, m_nRemainMax, nElapsed, EPass::ReadThenVerify);
    } else if (m_job.options.bMD5Verify) {
        fig = ComputeJobFigures(2 * nTotal, m_nMd5RemainMax + m_nRemainMax, nElapsed, EPass::One);
    } else {
        fig = ComputeJobFigures(nTotal, m_nRemainMax, nElapsed, EPass::One);
    }
    m_run.PostValue(PROGRESS_TOTAL, fig.nPerMille);
    if (fig.bRemainKnown) m_run.PostValue(PROGRESS_REMAIN, fig.nRemainSeconds);
    m_run.PostValue(PROGRESS_IMAGE, StagePerMille(nTotal, m_nReaderRemain));
    m_run.PostSpeed(PROGRESS_IMAGE_SPEED, m_dReaderSpeed);
    for (const T_SLOT& t : m_slots) {
        if (!t.bActive) continue;
        const auto nRow = static_cast<uint32_t>(t.nRow);
        if (!t.bStopped) {
            if (m_job.options.bMD5Verify && t.nRemain == 0) {
                m_run.PostValue(PROGRESS_DRIVE_VERIFY + nRow, StagePerMille(nTotal, t.nMd5Remain));
            } else {
                m_run.PostValue(PROGRESS_DRIVE + nRow, StagePerMille(nTotal, t.nRemain));
            }
        }
        m_run.PostSpeed(PROGRESS_DRIVE_SPEED + nRow, t.dSpeed);
    }
}
