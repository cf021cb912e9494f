// The notify queue of front ends without a window: order, waiting, which
// messages own heap strings, and that no string is lost or freed twice (the
// sanitizer build checks the last).
#include <gtest/gtest.h>

#include <string>

#include "engine/core/notify_queue.h"
#include "engine/core/progress.h"
#include "tests/engine/test_helpers.h"

namespace {

TEST(NotifyQueue, OnlyTextMessagesOwnStringsAndWhatIsLeftIsFreedWithTheQueue)
{
    auto pQueue = std::make_unique<CNotifyQueue>();
    T_NOTIFY_MSG msg;
    EXPECT_FALSE(pQueue->Wait(msg, std::chrono::milliseconds(10)));
    ASSERT_TRUE(PostHeapString(pQueue.get(), WM_ENGINE_LOG, 7, "line\n"));
    ASSERT_TRUE(PostHeapString(pQueue.get(), WM_ENGINE_PROGRESS, PROGRESS_DRIVE_SPEED + 1, "    1.00MB/s"));
    ASSERT_TRUE(pQueue->Post(WM_ENGINE_PROGRESS, PROGRESS_TOTAL, 10));
    ASSERT_TRUE(pQueue->TryTake(msg));
    EXPECT_TRUE(msg.uMsg == WM_ENGINE_LOG && msg.wParam == 7u && HeapStringOf(msg.lParam) == std::string("line\n"));
    pQueue->Release(msg);
    pQueue.reset();  // with a speed text and a number still in it
    const auto carries = [](uint32_t uMsg, WPARAM_T wParam) {
        return NotifyCarriesString({uMsg, wParam, 1}, DEFAULT_LOG_MSG, DEFAULT_PROGRESS_MSG);
    };
    EXPECT_TRUE(carries(DEFAULT_PROGRESS_MSG, PROGRESS_DRIVE_SPEED + 2) && carries(WM_CHECKSUM_RESULT, CHECKSUM_SIZE));
    EXPECT_FALSE(carries(DEFAULT_PROGRESS_MSG, PROGRESS_IMAGE) || carries(WM_CHECKSUM_RESULT, CHECKSUM_STATE));
    EXPECT_FALSE(carries(WM_ENGINE_LOG, 0));  // not the log message this front end chose
}

TEST(NotifyQueue, ManyWorkersAndAWaitingFrontEndLoseAndReorderNothing)
{
    constexpr size_t THREADS = 3;
    constexpr int LINES = 400;
    CNotifyQueue queue;
    std::future<std::vector<int>> frontEnd = Async([&queue] {  // per worker, how many lines came in order
        std::vector<int> nextOf(THREADS, 0);
        T_NOTIFY_MSG msg;
        for (size_t n = 0; n < THREADS * LINES && queue.Wait(msg, HANG_LIMIT); ++n) {
            const size_t t = msg.wParam;
            if (t < THREADS && HeapStringOf(msg.lParam) == std::to_string(nextOf[t])) ++nextOf[t];
            queue.Release(msg);
        }
        return nextOf;
    });
    std::vector<std::future<void>> workers;
    for (size_t t = 0; t < THREADS; ++t) {
        workers.push_back(Async([&queue, t] {
            for (int i = 0; i < LINES; ++i) PostHeapString(&queue, WM_ENGINE_LOG, t, std::to_string(i));
        }));
    }
    for (auto& w : workers) w.get();
    ASSERT_TRUE(Finishes(frontEnd));
    EXPECT_EQ(frontEnd.get(), std::vector<int>(THREADS, LINES));
}

}  // namespace
