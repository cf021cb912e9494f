// The checksum task's thread and its request protocol: the requesting side
// and the thread hand requests over under one lock, so that a request, a
// cancel or a quit is never lost between the thread's wake-up and the
// start of its calculation.
#include "engine/checksum/hash_task.h"

#include <algorithm>
#include <system_error>

#include "engine/core/log.h"

CHashTask::CHashTask()
{
    m_bEnded = true;  // until Start
}

CHashTask::~CHashTask()
{
    Quit();
}

bool CHashTask::Start()
{
    if (m_hThread.joinable()) return true;
    {
        std::lock_guard lock(m_mutexShare);
        m_bEnded = false;
        m_bHashQuit = false;
    }
    try {
        m_hThread = QuietStart()([this] { taskCalcHash(); });
        return true;
    } catch (const std::system_error&) {
        std::lock_guard lock(m_mutexShare);
        m_bEnded = true;
        return false;
    }
}

uint64_t CHashTask::Request(const std::string& strPath, EImageFormat eFormat)
{
    std::lock_guard lock(m_mutexShare);
    m_bHashAbort = true;
    m_bHashRequest = true;
    m_bHashValid = false;
    m_strHashPath = strPath;
    m_eHashFormat = eFormat;
    const uint64_t nRequest = ++m_nRequested;
    if (m_bEnded) {
        m_nFinished = nRequest;  // no thread will serve it
        m_cvFinished.notify_all();
        return nRequest;
    }
    // Busy from now on, not only once the thread has woken: whoever waits
    // for the task to be idle cannot slip in before the calculation starts.
    m_bHashBusy = true;
    m_bHashSignalled = true;
    m_hHashEvent.notify_all();
    return nRequest;
}

void CHashTask::Cancel()
{
    std::lock_guard lock(m_mutexShare);
    m_bHashAbort = true;
    if (!m_bHashSignalled || m_bHashQuit) return;
    m_bHashSignalled = false;  // the request not yet started is dropped
    if (!m_bWaiting) return;   // the running calculation settles the rest when it ends
    m_bHashBusy = false;
    m_nFinished = m_nRequested;
    m_cvFinished.notify_all();
}

void CHashTask::Quit()
{
    {
        std::lock_guard lock(m_mutexShare);
        m_bHashQuit = true;
        m_bHashAbort = true;
        m_bHashValid = false;
        m_bHashSignalled = true;
        m_hHashEvent.notify_all();
    }
    if (m_hThread.joinable()) m_hThread.join();
}

bool CHashTask::WaitFinished(uint64_t nRequest, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutexShare);
    return m_cvFinished.wait_for(lock, timeout, [&] { return m_nFinished >= nRequest || m_bEnded; });
}

void CHashTask::taskCalcHash()
{
    T_HASH_JOB job;
    while (WaitForRequest(job)) {
        Calculate(job);
        if (m_bHashQuit) break;
    }
    std::lock_guard lock(m_mutexShare);
    m_bHashBusy = false;
    m_bEnded = true;
    m_nFinished = m_nRequested;
    m_cvFinished.notify_all();
}

// Settles the calculation that just ended (none at the first call), waits
// for the event and takes the request. The abort request is cleared as the
// request is taken: an abort that comes later is meant for this one.
bool CHashTask::WaitForRequest(T_HASH_JOB& job)
{
    std::unique_lock lock(m_mutexShare);
    m_nFinished = std::max(m_nFinished, job.nRequest);
    if (!m_bHashSignalled) {
        m_bHashBusy = false;
        m_nFinished = m_nRequested;  // nothing is pending: every request has been served or dropped
    }
    m_cvFinished.notify_all();
    m_bWaiting = true;
    m_hHashEvent.wait(lock, [this] { return m_bHashSignalled; });
    m_bWaiting = false;
    m_bHashSignalled = false;
    if (m_bHashQuit) return false;
    m_bHashBusy = true;
    m_bHashAbort = false;
    job = T_HASH_JOB{m_strHashPath, m_eHashFormat, m_nRequested};
    return true;
}

// The task's threads keep their log lines for the developer unless the
// front end asked for them.
PFN_START_THREAD CHashTask::QuietStart() const
{
    const bool bToTrace = !m_bLogReasons;
    const PFN_START_THREAD fnStart = m_fnStartThread;
    return [bToTrace, fnStart](std::function<void()> fn) {
        return fnStart([bToTrace, fn = std::move(fn)] {
            SetThreadLogToTrace(bToTrace);
            fn();
        });
    };
}
