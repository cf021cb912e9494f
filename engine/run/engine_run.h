#pragma once
// The run machinery every engine holds, written once: the pool and queues
// of a run, its stage threads and their records, the stop that ends them,
// the poll that posts progress until they have ended, and the posting of
// progress and drive failures to the job's window.
//
// A stop sets the flag every stage checks before each block, then aborts
// every pool and queue built here and calls every waker registered, so no
// thread of the run stays waiting. Abort() is a stop asked from outside:
// it may come from any thread at any time, before Begin too, and is final
// for the engine that holds this run (a later run begins stopped). A stage
// that fails in a way that ends the whole run calls Stop().
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/core/fixed_buffer.h"
#include "engine/core/queue.h"
#include "engine/device/device.h"
#include "engine/run/engine_job.h"

// One stage thread of a run.
struct T_RUN_STAGE {
    std::thread hThread;
    std::thread::id idThread;
    bool bStarted = false;            // the thread runs (or ran)
    uint32_t dwError = 0;             // the system error code when it could not be started
    std::atomic<bool> bDone{false};   // its body has returned, or it never started
};

class CEngineRun {
public:
    CEngineRun() = default;
    // Stops, joins and releases whatever a run left.
    ~CEngineRun();
    CEngineRun(const CEngineRun&) = delete;
    CEngineRun& operator=(const CEngineRun&) = delete;

    // A run begins: the wiring is taken, the stages and parts of an earlier
    // run are gone, and the run is stopped already when Abort came first.
    void Begin(const T_ENGINE_WIRING& wiring);

    // The run's pool: nBlocks blocks of nBlockSize bytes. Null, with
    // "out of memory." and the reason logged, when it cannot be had.
    CFixedBuffer* BuildPool(uint64_t nBlockSize, uint32_t nBlocks);
    CFixedBuffer* Pool() const { return m_pPool.get(); }
    // A queue of the run. One made after a stop is aborted already.
    CQueue* NewQueue(uint32_t nCapacity);
    // Called on every stop, after the flag is set and the pool and queues
    // are aborted: wakes what else a stage may wait on.
    void WakeOnStop(std::function<void()> fnWake);
    // Drops the pool, the queues and the wakers; every stage has ended.
    // fnBeforePool runs first, under the lock a stop takes, so blocks held
    // outside the queues can go back while the pool still exists.
    void ReleaseParts(const std::function<void()>& fnBeforePool = nullptr);

    // Starts a stage thread running fnBody; the record stays until the next
    // Begin. The run's clock starts with its first stage. A thread that
    // cannot be started leaves bStarted false: "CreateThread() failed." is
    // logged and the run is stopped.
    T_RUN_STAGE& StartStage(std::function<void()> fnBody);
    // The same for a stage whose work the caller can do itself: a thread
    // that cannot be started leaves bStarted false and dwError set, with
    // nothing logged and the run going on.
    T_RUN_STAGE& TryStartStage(std::function<void()> fnBody);
    // Waits until the stage's body has returned (true) or the run stops (false).
    bool WaitFor(const T_RUN_STAGE& stage);
    // Calls fnProgress(false) every interval until every stage has ended or
    // the run stops (or fnOver says so, when given), then fnProgress(true)
    // once: the last batch shows the finished state however fast it came.
    void PollUntilDone(const std::function<void(bool bFinal)>& fnProgress,
                       const std::function<bool()>& fnOver = nullptr);
    // Waits for every stage thread. Threads are never killed: a stopped run
    // has woken them all, and a finished one has nothing left to wait for.
    void JoinStages();

    void Abort();
    void Stop();
    bool Stopped() const { return m_bStop.load(); }
    // The stop flag itself, for the readers that take one.
    const std::atomic<bool>& StopFlag() const { return m_bStop; }
    // The run was stopped from outside (Abort), not by a failure of its own.
    bool AbortRequested() const { return m_bAbortRequested.load(); }

    // The wiring's devices and clock.
    IDeviceProvider& Devices() const;
    uint32_t Tick() const;
    // Milliseconds since the first stage started.
    uint32_t ElapsedMs() const { return Tick() - m_dwStartTick; }

    // Posting to the job's window (nothing when it has none).
    void PostValue(uint32_t nCode, int64_t nValue) const;
    void PostSpeed(uint32_t nCode, double dBytesPerSecond) const;
    // The drive of this row failed: the window marks it at once.
    void PostFailure(int nRow) const;

private:
    bool AllStagesDone() const;

    T_ENGINE_WIRING m_wiring;
    std::atomic<bool> m_bAbortRequested{false};
    std::atomic<bool> m_bStop{false};
    uint32_t m_dwStartTick = 0;
    bool m_bClockStarted = false;
    std::deque<T_RUN_STAGE> m_stages;  // a deque: records stay where they are as stages are added

    std::mutex m_mutexParts;  // guards the parts against a stop from another thread
    std::unique_ptr<CFixedBuffer> m_pPool;
    std::vector<std::unique_ptr<CQueue>> m_queues;
    std::vector<std::function<void()>> m_wakers;

    std::mutex m_mutexState;
    std::condition_variable m_cvState;  // a stage ended, or the run stops
};
