// The run skeleton every engine holds: a stop wakes every thread that waits
// on the run's parts, whenever it comes; the poll reports until the stages
// end; posts go to the job's window with the job's ids.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/core/wake_count.h"
#include "engine/run/engine_run.h"
#include "tests/engine/test_helpers.h"
#include "tests/support/recorder.h"

namespace {

using namespace std::chrono_literals;

T_ENGINE_WIRING Wiring(CRecorder* pRecorder = nullptr, uint32_t dwInterval = 20)
{
    T_ENGINE_WIRING wiring;
    wiring.pNotify = pRecorder;
    wiring.uProgressMsg = WM_ENGINE_PROGRESS;
    wiring.uErrorMsg = WM_USER_ERROR;
    wiring.dwInterval = dwInterval;
    return wiring;
}

// Stages waiting where an engine's threads wait: for a block of
// a spent pool, on an empty queue, on a full queue, for another stage, and
// on a signal the engine wakes on a stop. A stop from outside ends every
// wait, also the wait for a stage that has not ended.
TEST(EngineRun, AStopWakesEveryStageWhereverItWaits)
{
    CEngineRun run;
    run.Begin(Wiring());
    CFixedBuffer* pPool = run.BuildPool(4096, 1);
    ASSERT_NE(pPool, nullptr);
    uint8_t* pHeld = pPool->Alloc();
    ASSERT_NE(pHeld, nullptr);
    CQueue* pEmpty = run.NewQueue(1);
    CQueue* pFull = run.NewQueue(1);
    ASSERT_TRUE(pFull->Put(pHeld, 1));
    CWakeCount signal;
    std::atomic<bool> bSignalStop{false};
    run.WakeOnStop([&] {
        bSignalStop = true;
        signal.Signal();
    });
    std::atomic<int> nWoken{0};
    run.StartStage([&] { nWoken += pPool->Alloc() == nullptr; });
    run.StartStage([&] {
        uint8_t* p = nullptr;
        uint64_t n = 0;
        nWoken += !pEmpty->Get(p, n);
    });
    run.StartStage([&] { nWoken += !pFull->Put(pHeld, 1); });
    run.StartStage([&] {
        signal.Wait();
        nWoken += bSignalStop.load();
    });
    CWakeCount hold;  // nothing of the run wakes it
    T_RUN_STAGE& held = run.StartStage([&] { hold.Wait(); });
    run.StartStage([&] { nWoken += !run.WaitFor(held); });
    std::this_thread::sleep_for(WATCH);
    EXPECT_EQ(nWoken, 0) << "a stage did not wait";

    std::thread stopper([&] {
        std::this_thread::sleep_for(WATCH);
        run.Abort();
    });
    const auto start = std::chrono::steady_clock::now();
    int nFinal = 0;
    run.PollUntilDone([&](bool bFinal) { nFinal += bFinal; });
    while (nWoken < 5 && std::chrono::steady_clock::now() - start < HANG_LIMIT) std::this_thread::sleep_for(1ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_EQ(nWoken, 5);
    hold.Signal();
    run.JoinStages();
    stopper.join();
    EXPECT_EQ(nFinal, 1);
    EXPECT_TRUE(run.Stopped());
    EXPECT_TRUE(run.AbortRequested());
    run.ReleaseParts();
}

// An abort that comes before the run begins is not lost in the run's own
// reset, and whatever the run makes after it is born stopped; a stop from
// inside is not an abort.
TEST(EngineRun, AnAbortBeforeTheRunStopsItFromItsStart)
{
    CEngineRun run;
    run.Abort();
    run.Begin(Wiring());
    EXPECT_TRUE(run.Stopped());
    CQueue* pQueue = run.NewQueue(4);
    uint8_t byte = 0;
    EXPECT_FALSE(pQueue->Put(&byte, 1));
    CFixedBuffer* pPool = run.BuildPool(4096, 2);
    ASSERT_NE(pPool, nullptr);
    EXPECT_EQ(pPool->Alloc(), nullptr);
    bool bWoken = false;
    run.WakeOnStop([&] { bWoken = true; });
    EXPECT_TRUE(bWoken);
    // An abort is final for the engine: its next run begins stopped too.
    run.ReleaseParts();
    run.Begin(Wiring());
    EXPECT_TRUE(run.Stopped());
    // A stop from inside ends only that run.
    CEngineRun other;
    other.Begin(Wiring());
    other.StartStage([&] { other.Stop(); });
    other.PollUntilDone([](bool) {});
    other.JoinStages();
    EXPECT_TRUE(other.Stopped());
    EXPECT_FALSE(other.AbortRequested());
    other.Begin(Wiring());
    EXPECT_FALSE(other.Stopped());
}

// Stage threads start the wiring's way. One the system refuses stops the
// run with its line; one the caller can do without leaves the run going.
TEST(EngineRun, AStageThatCannotStartStopsTheRunUnlessTheCallerCanDoWithout)
{
    CRecorder recorder;
    CLogCapture capture(recorder);
    T_ENGINE_WIRING wiring = Wiring();
    int nStarts = 0;
    wiring.fnStartThread = [&](std::function<void()> fn) {
        if (++nStarts > 1) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        return std::thread(std::move(fn));
    };
    CEngineRun run;
    run.Begin(wiring);
    std::atomic<bool> bRan{false};
    EXPECT_TRUE(run.StartStage([&] { bRan = true; }).bStarted);
    const T_RUN_STAGE& spare = run.TryStartStage([] {});
    EXPECT_FALSE(spare.bStarted);
    EXPECT_NE(spare.dwError, 0u);
    EXPECT_FALSE(run.Stopped());
    EXPECT_EQ(recorder.LogText().find("CreateThread() failed."), std::string::npos);
    EXPECT_FALSE(run.StartStage([] {}).bStarted);
    EXPECT_TRUE(run.Stopped());
    EXPECT_EQ(recorder.CountLines("CreateThread() failed.\n" + GetSystemErrorText(spare.dwError) + "\n"), 1u);
    run.JoinStages();
    EXPECT_TRUE(bRan);
    EXPECT_EQ(nStarts, 3);
}

}  // namespace
