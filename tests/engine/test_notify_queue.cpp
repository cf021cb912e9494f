// The notify queue of front ends without a window: order, waiting, which
// messages own heap strings, and that no string is lost or freed twice.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "engine/notify_queue.h"
#include "engine/progress.h"

namespace {

// Only detects a hang; a posted message is there at once.
constexpr auto HANG_LIMIT = std::chrono::seconds(30);

std::string TextOf(const T_NOTIFY_MSG& msg)
{
    return HeapStringOf(msg.lParam);
}

}  // namespace

TEST(NotifyQueue, MessagesComeOutInPostingOrderAndThenTheQueueIsEmpty)
{
    CNotifyQueue queue;
    ASSERT_TRUE(queue.Post(WM_ENGINE_PROGRESS, PROGRESS_TOTAL, 10));
    ASSERT_TRUE(PostHeapString(&queue, WM_ENGINE_LOG, 7, "line\n"));
    ASSERT_TRUE(queue.Post(WM_USER_ERROR, 0, 3));
    T_NOTIFY_MSG msg;
    ASSERT_TRUE(queue.TryTake(msg));
    EXPECT_EQ(msg.uMsg, WM_ENGINE_PROGRESS);
    EXPECT_EQ(msg.lParam, 10);
    ASSERT_TRUE(queue.TryTake(msg));
    EXPECT_EQ(msg.uMsg, WM_ENGINE_LOG);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_EQ(TextOf(msg), "line\n");
    queue.Release(msg);
    ASSERT_TRUE(queue.TryTake(msg));
    EXPECT_EQ(msg.uMsg, WM_USER_ERROR);
    EXPECT_EQ(msg.lParam, 3);
    EXPECT_FALSE(queue.TryTake(msg));
}

TEST(NotifyQueue, AWaitingFrontEndTimesOutOrWakesWhenAWorkerPosts)
{
    CNotifyQueue queue;
    T_NOTIFY_MSG msg;
    EXPECT_FALSE(queue.Wait(msg, std::chrono::milliseconds(10)));
    std::future<bool> waiter = std::async(std::launch::async, [&queue] {
        T_NOTIFY_MSG taken;
        return queue.Wait(taken, HANG_LIMIT) && taken.uMsg == WM_DUMPTASK_END;
    });
    queue.Post(WM_DUMPTASK_END, 0, 0);
    ASSERT_EQ(waiter.wait_for(HANG_LIMIT), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
}

TEST(NotifyQueue, UndrainedHeapStringsAreFreedWithTheQueue)
{
    // The numbers must not be freed and the texts must not leak; the
    // sanitizer build checks both.
    auto pQueue = std::make_unique<CNotifyQueue>();
    EXPECT_TRUE(PostHeapString(pQueue.get(), WM_ENGINE_LOG, 0, "never read\n"));
    EXPECT_TRUE(PostHeapString(pQueue.get(), WM_ENGINE_PROGRESS, PROGRESS_DRIVE_SPEED + 1, "    1.00MB/s"));
    EXPECT_TRUE(pQueue->Post(WM_ENGINE_PROGRESS, PROGRESS_DRIVE + 1, 250));
    EXPECT_TRUE(pQueue->Post(WM_USER_ERROR, 0, 1));
    pQueue.reset();
}

TEST(NotifyQueue, OnlyLogLinesAndSpeedTextsOfTheQueuesOwnIdsCarryStrings)
{
    EXPECT_TRUE(NotifyCarriesString({WM_ENGINE_LOG, 0x7, 1}, WM_ENGINE_LOG, WM_ENGINE_PROGRESS));
    EXPECT_TRUE(NotifyCarriesString({WM_ENGINE_PROGRESS, PROGRESS_DRIVE_SPEED + 2, 1}, WM_ENGINE_LOG, WM_ENGINE_PROGRESS));
    EXPECT_FALSE(NotifyCarriesString({WM_ENGINE_PROGRESS, PROGRESS_IMAGE, 1}, WM_ENGINE_LOG, WM_ENGINE_PROGRESS));
    EXPECT_FALSE(NotifyCarriesString({WM_USER_ERROR, PROGRESS_IMAGE_SPEED, 1}, WM_ENGINE_LOG, WM_ENGINE_PROGRESS));
    // The ids are the front end's choice; an engine's defaults differ.
    EXPECT_FALSE(NotifyCarriesString({WM_ENGINE_LOG, 0, 1}, DEFAULT_LOG_MSG, DEFAULT_PROGRESS_MSG));
    EXPECT_TRUE(NotifyCarriesString({DEFAULT_PROGRESS_MSG, PROGRESS_IMAGE_SPEED, 1}, DEFAULT_LOG_MSG, DEFAULT_PROGRESS_MSG));
}

namespace {

// Returns, per thread, how many of its lines came in order.
std::vector<int> DrainLines(CNotifyQueue& queue, int nThreads, int nTotal)
{
    std::vector<int> nextOf(static_cast<size_t>(nThreads), 0);
    T_NOTIFY_MSG msg;
    for (int n = 0; n < nTotal && queue.Wait(msg, HANG_LIMIT); ++n) {
        int t = -1;
        int i = -1;
        const bool bParsed = std::sscanf(HeapStringOf(msg.lParam), "%d:%d", &t, &i) == 2;
        queue.Release(msg);
        if (bParsed && t >= 0 && t < nThreads && i == nextOf[static_cast<size_t>(t)]) ++nextOf[static_cast<size_t>(t)];
    }
    return nextOf;
}

}  // namespace

TEST(NotifyQueue, ManyWorkersOneFrontEndNothingLostNothingReordered)
{
    constexpr int THREADS = 3;
    constexpr int LINES = 400;
    CNotifyQueue queue;
    std::future<std::vector<int>> frontEnd =
        std::async(std::launch::async, [&] { return DrainLines(queue, THREADS, THREADS * LINES); });
    std::vector<std::future<void>> workers;
    for (int t = 0; t < THREADS; ++t) {
        workers.push_back(std::async(std::launch::async, [&queue, t] {
            for (int i = 0; i < LINES; ++i) PostHeapString(&queue, WM_ENGINE_LOG, 0, std::to_string(t) + ":" + std::to_string(i));
        }));
    }
    for (auto& w : workers) w.get();
    ASSERT_EQ(frontEnd.wait_for(HANG_LIMIT), std::future_status::ready);
    EXPECT_EQ(frontEnd.get(), std::vector<int>(THREADS, LINES));
    T_NOTIFY_MSG msg;
    EXPECT_FALSE(queue.TryTake(msg));
}
