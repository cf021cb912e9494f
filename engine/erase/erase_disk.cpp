// The erase job's run operation: builds the pipeline, opens and measures
// the targets, runs three threads per target while it posts progress, and
// closes every handle at the end, whatever happened.
#include "engine/erase/erase_disk.h"

#include <algorithm>
#include <system_error>

#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/erase/erase_pipeline_size.h"

namespace {
constexpr uint32_t MIN_BLOCKS = 16;
}

CEraseDisk::CEraseDisk() = default;

CEraseDisk::~CEraseDisk()
{
    SetAbort();
    StopWorkers();
    CloseAndDelete();
}

bool CEraseDisk::Run(int nCount, const std::string* arrPaths, uint32_t nMethod, uint32_t nBlocks)
{
    if (nCount < 1 || nCount > MAX_TARGETS || !arrPaths) return false;
    m_nMethod = nMethod;
    m_bWriteDifferences = g_bOptCompareAfterWrite;
    for (int i = 0; i < nCount; ++i) {
        if (m_strName[i].empty()) m_strName[i] = arrPaths[i];
    }
    LogHeadLine(nCount);

    bool bResult = false;
    if (BuildPipeline(nCount, std::max(nBlocks, MIN_BLOCKS)) && Prepare(nCount, arrPaths) && !m_bAbortRequested) {
        TakeOwnBlocks();
        StartWorkers();
        PollUntilDone();
        StopWorkers();
        bResult = RunResult();
    }
    CloseAndDelete();
    return bResult;
}

// "ERASE <first>, <second>, ...": one line, posted whole.
void CEraseDisk::LogHeadLine(int nCount)
{
    std::string strLine = "ERASE" + FormatText(" %s", m_strName[0]);
    for (int i = 1; i < nCount; ++i) strLine += FormatText(", %s", m_strName[i]);
    LogInfo("%s", strLine + "\n");
}

// Fresh queues for every slot and the pool, sized so that no thread can
// wait for ever for a block (erase_pipeline_size.h). Without its blocks
// the job fails with the reason in the log; no device has been opened yet.
bool CEraseDisk::BuildPipeline(int nCount, uint32_t nBlocks)
{
    const T_ERASE_PIPELINE pipeline =
        ChooseErasePipeline(nBlocks, static_cast<uint32_t>(nCount), m_bWriteDifferences);
    m_nQueueCapacity = pipeline.nQueueCapacity;
    m_nTotal = 0;
    std::lock_guard lock(m_mutexParts);
    for (T_DISKTASK_INFO& t : m_Task) {
        t.pQueue = std::make_unique<CQueue>(pipeline.nQueueCapacity);
        t.pReadQueue = std::make_unique<CQueue>(pipeline.nQueueCapacity);
        t.bActive = false;
        t.dwError = 0;
        t.bResult = false;
        t.nSize = 0;
        t.nRemain = 0;
        t.dSpeed = 0.0;
        t.bStopped = t.bFinished = false;
        t.eFailure = EEraseFailure::None;
        t.hVerifyEvent.Reset();
    }
    m_pBuffer = std::make_unique<CFixedBuffer>();
    if (m_pBuffer->Create(m_nBlockSize, pipeline.nPoolBlocks)) return true;
    LogError("out of memory.\n%s\n", GetSystemErrorText(SystemError::NoMemory()));
    m_pBuffer.reset();
    return false;
}

void CEraseDisk::TakeOwnBlocks()
{
    if (!m_bWriteDifferences) return;
    for (T_DISKTASK_INFO& t : m_Task) {
        if (t.bActive) t.pOwnBlock = m_pBuffer->Alloc();
    }
}

void CEraseDisk::StartWorkers()
{
    m_bAbort = m_bAbortRequested.load();
    m_bWritersDone = false;
    m_nRemainMax = m_nPass * m_nTotal;
    m_dwStartTick = m_fnTick();
    for (int i = 0; i < MAX_TARGETS; ++i) {
        if (m_Task[i].bActive && !StartSlotThreads(i)) return;
    }
}

// The pattern, verify and writer threads of a slot, in that order. A
// thread that cannot be started stops the whole run; the slot's remaining
// threads are not started.
bool CEraseDisk::StartSlotThreads(int nSlot)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    t.nRemain = m_nPass * t.nSize;
    try {
        t.hPatternThread = std::thread(&CEraseDisk::ErasePatternThread, this, nSlot);
        t.dwPatternThreadId = t.hPatternThread.get_id();
        t.hVerifyThread = std::thread(&CEraseDisk::EraseVerifyThread, this, nSlot);
        t.dwVerifyThreadId = t.hVerifyThread.get_id();
        t.hThread = std::thread(&CEraseDisk::EraseWriterThread, this, nSlot);
        t.dwThreadId = t.hThread.get_id();
        return true;
    } catch (const std::system_error& e) {
        t.dwError = static_cast<uint32_t>(e.code().value());
        LogError("CreateThread() failed.\n%s\n", GetSystemErrorText(t.dwError));
        FailRun(nSlot, EEraseFailure::Stopped);
        return false;
    }
}

// Posts progress every interval and once more at the end; the last post
// shows the finished state however quickly the threads ended.
void CEraseDisk::PollUntilDone()
{
    auto bOver = [this] {
        bool bWriters = true;
        for (const T_DISKTASK_INFO& t : m_Task) bWriters = bWriters && (!t.bActive || t.bFinished);
        m_bWritersDone = bWriters;
        return bWriters || m_bAbort;
    };
    std::unique_lock lock(m_mutexState);
    while (!bOver()) {
        m_cvState.wait_for(lock, std::chrono::milliseconds(m_dwInterval), bOver);
        lock.unlock();
        UpdateRemainMax();
        PostProgress();
        lock.lock();
    }
    lock.unlock();
    UpdateRemainMax();
    PostProgress();
}

// Wakes whatever still waits and waits for every thread. Threads are never
// killed: the flags stop them before their next block, and the aborted
// queues and pool and the verify signals wake every thread that waits. When
// every writer has finished nothing is left to wait for, and waking the
// rest changes nothing.
void CEraseDisk::StopWorkers()
{
    if (m_bAbort) SetAbort();
    WakeAll();
    for (T_DISKTASK_INFO& t : m_Task) {
        for (std::thread* pThread : {&t.hPatternThread, &t.hVerifyThread, &t.hThread}) {
            if (pThread->joinable()) pThread->join();
        }
    }
}

bool CEraseDisk::RunResult() const
{
    if (m_bAbort || !AnyActive()) return false;
    return std::all_of(std::begin(m_Task), std::end(m_Task),
                       [](const T_DISKTASK_INFO& t) { return !t.bActive || t.bResult; });
}

// Every target is closed; the own blocks go back before the pool goes.
void CEraseDisk::CloseAndDelete()
{
    for (T_DISKTASK_INFO& t : m_Task) t.hDisk.reset();
    std::lock_guard lock(m_mutexParts);
    for (T_DISKTASK_INFO& t : m_Task) {
        if (t.pOwnBlock && m_pBuffer) m_pBuffer->Free(t.pOwnBlock);
        t.pOwnBlock = nullptr;
        t.pQueue.reset();
        t.pReadQueue.reset();
    }
    m_pBuffer.reset();
}

// The run stops: the flags first, then everything a thread may wait on.
void CEraseDisk::SetAbort()
{
    m_bAbort = true;
    for (T_DISKTASK_INFO& t : m_Task) t.bStopped = true;
    WakeAll();
}

// Every queue and the pool are aborted and every verify thread is
// signalled, so that no thread stays waiting.
void CEraseDisk::WakeAll()
{
    {
        std::lock_guard lock(m_mutexParts);
        for (T_DISKTASK_INFO& t : m_Task) {
            if (t.pQueue) t.pQueue->Abort();
            if (t.pReadQueue) t.pReadQueue->Abort();
        }
        if (m_pBuffer) m_pBuffer->Abort();
    }
    for (T_DISKTASK_INFO& t : m_Task) t.hVerifyEvent.Signal();
    std::lock_guard lock(m_mutexState);
    m_cvState.notify_all();
}

void CEraseDisk::Abort()
{
    m_bAbortRequested = true;
    SetAbort();
}

void CEraseDisk::StageEnded(std::atomic<bool>& bDone)
{
    std::lock_guard lock(m_mutexState);
    bDone = true;
    m_cvState.notify_all();
}

void CEraseDisk::FailRun(int nSlot, EEraseFailure eCause)
{
    EEraseFailure eNone = EEraseFailure::None;
    m_Task[nSlot].eFailure.compare_exchange_strong(eNone, eCause);
    SetAbort();
}
