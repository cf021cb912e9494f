#include "engine/run/engine_run.h"

#include <chrono>
#include <system_error>

#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"

CEngineRun::~CEngineRun()
{
    Stop();
    JoinStages();
    ReleaseParts();
}

void CEngineRun::Begin(const T_ENGINE_WIRING& wiring)
{
    JoinStages();
    ReleaseParts();
    m_stages.clear();
    m_wiring = wiring;
    m_bClockStarted = false;
    // Under the lock a stop takes, so that an Abort that comes meanwhile is
    // never undone here.
    std::lock_guard lock(m_mutexParts);
    m_bStop = m_bAbortRequested.load();
}

CFixedBuffer* CEngineRun::BuildPool(uint64_t nBlockSize, uint32_t nBlocks)
{
    auto pPool = std::make_unique<CFixedBuffer>();
    if (!pPool->Create(nBlockSize, nBlocks)) {
        LogError("out of memory.\n%s\n", GetSystemErrorText(SystemError::NoMemory()));
        return nullptr;
    }
    std::lock_guard lock(m_mutexParts);
    if (m_bStop) pPool->Abort();
    m_pPool = std::move(pPool);
    return m_pPool.get();
}

CQueue* CEngineRun::NewQueue(uint32_t nCapacity)
{
    std::lock_guard lock(m_mutexParts);
    m_queues.push_back(std::make_unique<CQueue>(nCapacity));
    if (m_bStop) m_queues.back()->Abort();
    return m_queues.back().get();
}

void CEngineRun::WakeOnStop(std::function<void()> fnWake)
{
    std::lock_guard lock(m_mutexParts);
    m_wakers.push_back(std::move(fnWake));
    if (m_bStop) m_wakers.back()();
}

void CEngineRun::ReleaseParts(const std::function<void()>& fnBeforePool)
{
    std::lock_guard lock(m_mutexParts);
    if (fnBeforePool) fnBeforePool();
    m_wakers.clear();
    m_queues.clear();
    m_pPool.reset();
}

T_RUN_STAGE& CEngineRun::StartStage(std::function<void()> fnBody)
{
    T_RUN_STAGE& stage = TryStartStage(std::move(fnBody));
    if (!stage.bStarted) {
        LogError("CreateThread() failed.\n%s\n", GetSystemErrorText(stage.dwError));
        Stop();
    }
    return stage;
}

T_RUN_STAGE& CEngineRun::TryStartStage(std::function<void()> fnBody)
{
    if (!m_bClockStarted) {
        m_dwStartTick = Tick();
        m_bClockStarted = true;
    }
    T_RUN_STAGE& stage = m_stages.emplace_back();
    auto fnStage = [this, &stage, fnBody = std::move(fnBody)] {
        fnBody();
        std::lock_guard lock(m_mutexState);
        stage.bDone = true;
        m_cvState.notify_all();
    };
    try {
        const PFN_START_THREAD& fnStart = m_wiring.fnStartThread;
        stage.hThread = fnStart ? fnStart(std::move(fnStage)) : std::thread(std::move(fnStage));
        stage.idThread = stage.hThread.get_id();
        stage.bStarted = true;
    } catch (const std::system_error& e) {
        stage.dwError = static_cast<uint32_t>(e.code().value());
        stage.bDone = true;
    }
    return stage;
}

bool CEngineRun::WaitFor(const T_RUN_STAGE& stage)
{
    std::unique_lock lock(m_mutexState);
    m_cvState.wait(lock, [&] { return stage.bDone || m_bStop; });
    return stage.bDone;
}

bool CEngineRun::AllStagesDone() const
{
    for (const T_RUN_STAGE& stage : m_stages) {
        if (!stage.bDone) return false;
    }
    return true;
}

void CEngineRun::PollUntilDone(const std::function<void(bool bFinal)>& fnProgress, const std::function<bool()>& fnOver)
{
    auto bOver = [&] { return m_bStop || AllStagesDone() || (fnOver && fnOver()); };
    std::unique_lock lock(m_mutexState);
    while (!bOver()) {
        m_cvState.wait_for(lock, std::chrono::milliseconds(m_wiring.dwInterval), bOver);
        lock.unlock();
        fnProgress(false);
        lock.lock();
    }
    lock.unlock();
    fnProgress(true);
}

void CEngineRun::JoinStages()
{
    for (T_RUN_STAGE& stage : m_stages) {
        if (stage.hThread.joinable()) stage.hThread.join();
    }
}

void CEngineRun::Abort()
{
    m_bAbortRequested = true;
    Stop();
}

void CEngineRun::Stop()
{
    {
        std::lock_guard lock(m_mutexParts);
        m_bStop = true;
        for (const auto& pQueue : m_queues) pQueue->Abort();
        if (m_pPool) m_pPool->Abort();
        for (const auto& fnWake : m_wakers) fnWake();
    }
    std::lock_guard lock(m_mutexState);
    m_cvState.notify_all();
}

IDeviceProvider& CEngineRun::Devices() const
{
    return m_wiring.pDevices ? *m_wiring.pDevices : GetPlatformDevices();
}

uint32_t CEngineRun::Tick() const
{
    return m_wiring.fnTick ? m_wiring.fnTick() : GetTickCountMs();
}

void CEngineRun::PostValue(uint32_t nCode, int64_t nValue) const
{
    PostProgressValue(m_wiring.pNotify, m_wiring.uProgressMsg, nCode, nValue);
}

void CEngineRun::PostSpeed(uint32_t nCode, double dBytesPerSecond) const
{
    PostProgressSpeed(m_wiring.pNotify, m_wiring.uProgressMsg, nCode, dBytesPerSecond);
}

void CEngineRun::PostFailure(int nRow) const
{
    PostNotify(m_wiring.pNotify, m_wiring.uErrorMsg, 0, static_cast<LPARAM_T>(nRow));
}
