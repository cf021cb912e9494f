// The erase job's run operation: builds the pipeline, opens and measures
// the targets, runs three threads per target while it posts progress, and
// closes every handle at the end, whatever happened.
#include "engine/erase/erase_disk.h"

#include <algorithm>
#include <vector>

#include "engine/blockio/target_drives.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"

namespace {

// nRemain bytes at dSpeed bytes per second, truncated; a speed near zero
// gives the largest figure instead of one beyond the 64-bit range.
int64_t SecondsLeft(uint64_t nRemain, double dSpeed)
{
    const double dSeconds = static_cast<double>(nRemain) / dSpeed;
    return dSeconds >= 9.2e18 ? INT64_MAX : static_cast<int64_t>(dSeconds);
}

}  // namespace

uint32_t EraseBlocksPerTarget(uint32_t nQueueCapacity, bool bCompareBuffer)
{
    return 2 * nQueueCapacity + 4 + (bCompareBuffer ? 1 : 0);
}

T_ERASE_PIPELINE ChooseErasePipeline(uint32_t nJobBlocks, uint32_t nTargets, bool bCompareBuffer)
{
    nTargets = std::max<uint32_t>(nTargets, 1);
    const uint32_t nFixed = EraseBlocksPerTarget(0, bCompareBuffer);
    const uint32_t nShare = nJobBlocks / nTargets;
    T_ERASE_PIPELINE pipeline;
    pipeline.nQueueCapacity = nShare > nFixed ? std::max<uint32_t>((nShare - nFixed) / 2, 1) : 1;
    pipeline.nPoolBlocks =
        std::max(nJobBlocks, nTargets * EraseBlocksPerTarget(pipeline.nQueueCapacity, bCompareBuffer));
    return pipeline;
}

CEraseDisk::~CEraseDisk()
{
    m_run.Stop();
    m_run.JoinStages();
    CloseAndDelete();
}

T_ENGINE_RESULT CEraseDisk::Run(const T_ENGINE_JOB& job)
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
        m_run.PollUntilDone([this](bool) {
            UpdateRemainMax();
            PostProgress();
        });
        m_run.JoinStages();
    }
    const T_ENGINE_RESULT result = Results();
    CloseAndDelete();
    return result;
}

void CEraseDisk::MakeSlots()
{
    m_slots.clear();
    for (const T_ENGINE_DRIVE& drive : m_job.arrDrives) {
        T_SLOT& t = m_slots.emplace_back();
        t.strPath = drive.strPath;
        t.strName = drive.strName.empty() ? drive.strPath : drive.strName;
        t.nRow = drive.nRow;
        t.nSeed = static_cast<uint32_t>(m_slots.size() - 1);
    }
    m_nTotal = 0;
    // A stop stops every slot and wakes its verify thread, which may wait
    // for a verification pass that will not come.
    m_run.WakeOnStop([this] {
        for (T_SLOT& t : m_slots) {
            t.bStopped = true;
            t.hVerifyEvent.Signal();
        }
    });
}

// "ERASE <first>, <second>, ...": one line, posted whole.
void CEraseDisk::LogHeadLine()
{
    std::string strLine = "ERASE" + FormatText(" %s", m_slots[0].strName);
    for (size_t i = 1; i < m_slots.size(); ++i) strLine += FormatText(", %s", m_slots[i].strName);
    LogInfo("%s", strLine + "\n");
}

// Two queues for every slot and the pool, sized so that no thread can wait
// for ever for a block (T_ERASE_PIPELINE). Without its blocks the job fails
// with the reason in the log; no device has been opened yet.
bool CEraseDisk::BuildPipeline()
{
    const T_ERASE_PIPELINE pipeline = ChooseErasePipeline(
        std::max(m_job.nBlocks, MIN_POOL_BLOCKS), static_cast<uint32_t>(m_slots.size()), m_job.options.bCompareAfterWrite);
    for (T_SLOT& t : m_slots) {
        t.pQueue = m_run.NewQueue(pipeline.nQueueCapacity);
        t.pReadQueue = m_run.NewQueue(pipeline.nQueueCapacity);
    }
    m_pBuffer = m_run.BuildPool(BLOCK_SIZE, pipeline.nPoolBlocks);
    return m_pBuffer != nullptr;
}

// Everything an erase checks before its first byte: no path given twice,
// the method chosen (its line belongs under the head line, before any
// target's failure), the targets opened exclusively (a disk with a mounted
// file system is refused by the system) and of a kind that can be erased,
// no two targets that share their storage, and every target measured.
bool CEraseDisk::Prepare()
{
    std::vector<std::string> arrPaths;
    for (const T_SLOT& t : m_slots) arrPaths.push_back(t.strPath);
    if (!RefuseRepeatedPaths(arrPaths)) return false;
    const T_ERASE_METHOD& method = FindEraseMethod(m_job.nEraseMethod);
    m_nPass = method.nPass;
    std::copy(method.arrPass, method.arrPass + method.nPass, m_Pass);
    LogInfo("%s", method.pLogLine);
    std::vector<IDevice*> arrDrives;
    for (T_SLOT& t : m_slots) {
        t.hDisk = OpenTargetDrive(m_run.Devices(), t.strPath, m_job.options.bSharedWrite, t.dwError);
        t.bActive = t.hDisk != nullptr;
        if (!t.bActive) t.eFailure = ESlotVerdict::NotOpened;
        arrDrives.push_back(t.hDisk.get());
    }
    if (!AnyActive() || !RefuseSharedStorage(arrDrives, arrPaths)) return false;
    for (T_SLOT& t : m_slots) {
        if (t.bActive) MeasureTarget(t);
    }
    return AnyActive();
}

void CEraseDisk::MeasureTarget(T_SLOT& t)
{
    uint64_t nSize = 0;
    uint32_t nError = 0;
    if (!GetDiskSize(*t.hDisk, nSize, nError)) {
        t.dwError = nError;
        t.eFailure = ESlotVerdict::NotOpened;
        LogError("GetDiskSize() failed.\n%s\n", GetSystemErrorText(nError));
        t.bActive = false;
        t.hDisk.reset();
        return;
    }
    LogInfo("%s\n", t.strName);
    LogInfo("  disk size=%I64u bytes.\n", nSize);
    t.nSize = nSize;
    m_nTotal = std::max(m_nTotal, nSize);
}

bool CEraseDisk::AnyActive() const
{
    return std::any_of(m_slots.begin(), m_slots.end(), [](const T_SLOT& t) { return t.bActive; });
}

void CEraseDisk::TakeOwnBlocks()
{
    if (!m_job.options.bCompareAfterWrite) return;
    for (T_SLOT& t : m_slots) {
        if (t.bActive) t.pOwnBlock = m_pBuffer->Alloc();
    }
}

// The pattern, verify and writer threads of each slot, in that order. A
// thread that cannot be started stops the whole run; no more are started.
void CEraseDisk::StartWorkers()
{
    m_nRemainMax = m_nPass * m_nTotal;
    for (T_SLOT& t : m_slots) {
        if (!t.bActive) continue;
        t.nRemain = m_nPass * t.nSize;
        for (void (CEraseDisk::*pfnThread)(T_SLOT&) :
             {&CEraseDisk::ErasePatternThread, &CEraseDisk::EraseVerifyThread, &CEraseDisk::EraseWriterThread}) {
            const T_RUN_STAGE& stage = m_run.StartStage([this, &t, pfnThread] { (this->*pfnThread)(t); });
            if (!stage.bStarted) {
                t.dwError = stage.dwError;
                FailRun(t, ESlotVerdict::Stopped);
                return;
            }
        }
    }
}

T_ENGINE_RESULT CEraseDisk::Results() const
{
    T_ENGINE_RESULT result;
    result.bOk = !m_run.Stopped() && AnyActive() &&
                 std::all_of(m_slots.begin(), m_slots.end(), [](const T_SLOT& t) { return !t.bActive || t.bResult; });
    result.nTotal = m_nTotal;
    for (const T_SLOT& t : m_slots) {
        T_SLOT_RESULT slot;
        slot.eVerdict = t.bResult ? ESlotVerdict::Ok : t.eFailure.load();
        slot.dwError = t.dwError;
        slot.nBytes = t.nWritten;
        result.arrSlots.push_back(slot);
    }
    return result;
}

// Every target is closed; the own blocks go back before the pool goes.
void CEraseDisk::CloseAndDelete()
{
    for (T_SLOT& t : m_slots) t.hDisk.reset();
    m_run.ReleaseParts([this] {
        for (T_SLOT& t : m_slots) {
            if (t.pOwnBlock && m_pBuffer) m_pBuffer->Free(t.pOwnBlock);
            t.pOwnBlock = nullptr;
            t.pQueue = t.pReadQueue = nullptr;
        }
    });
    m_pBuffer = nullptr;
}

void CEraseDisk::FailRun(T_SLOT& t, ESlotVerdict eCause)
{
    ESlotVerdict eNone = ESlotVerdict::NotRun;
    t.eFailure.compare_exchange_strong(eNone, eCause);
    m_run.Stop();
}

void CEraseDisk::UpdateRemainMax()
{
    uint64_t nRemain = 0;
    for (const T_SLOT& t : m_slots) {
        if (t.bActive) nRemain = std::max(nRemain, t.nRemain.load());
    }
    m_nRemainMax = nRemain;
}

// Every target's row, then the whole job. The whole-job figures follow
// the slowest target that still runs: the smallest share done, the longest
// time still needed.
void CEraseDisk::PostProgress()
{
    const T_JOB_FIGURES fig = ComputeJobFigures(m_nTotal * m_nPass, m_nRemainMax, m_run.ElapsedMs(), EPass::One);
    int64_t nPerMille = fig.nPerMille;
    bool bRemainKnown = fig.bRemainKnown;
    int64_t nRemainSeconds = fig.nRemainSeconds;
    for (const T_SLOT& t : m_slots) {
        if (!t.bActive) continue;
        const auto nRow = static_cast<uint32_t>(t.nRow);
        const uint64_t nRemain = t.nRemain;
        const double dSpeed = t.dSpeed;
        if (!t.bStopped) {
            const int64_t nDrive = StagePerMille(t.nSize * m_nPass, nRemain);
            m_run.PostValue(PROGRESS_DRIVE + nRow, nDrive);
            nPerMille = std::min(nPerMille, nDrive);
            if (dSpeed > 0.0) {
                nRemainSeconds = std::max(nRemainSeconds, SecondsLeft(nRemain, dSpeed));
                bRemainKnown = true;
            }
        }
        m_run.PostSpeed(PROGRESS_DRIVE_SPEED + nRow, dSpeed);
    }
    m_run.PostValue(PROGRESS_TOTAL, nPerMille);
    if (bRemainKnown) m_run.PostValue(PROGRESS_REMAIN, nRemainSeconds);
}
