// The work queue between two pipeline stages: order, capacity and abort.
#include <gtest/gtest.h>

#include "engine/core/queue.h"
#include "tests/engine/test_helpers.h"

namespace {

// Distinct fake data pointers; the queue never dereferences them.
uint8_t* Item(uintptr_t n)
{
    return reinterpret_cast<uint8_t*>(0x10000 + n * 16);
}

bool Take(CQueue& queue, uint8_t*& pData, uint64_t& nCount, bool bWait = true)
{
    return bWait ? queue.Get(pData, nCount) : queue.TryGet(pData, nCount);
}

TEST(Queue, ItemsComeOutInOrderAndAFullQueueMakesPutWait)
{
    CQueue queue(3);
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    for (uintptr_t round = 0; round < 3; ++round) {  // the nodes are recycled
        EXPECT_FALSE(Take(queue, pData, nCount, false));
        // A null block (a failed stage) and a 0 count (the end) travel too.
        const std::pair<uint8_t*, uint64_t> items[] = {{Item(round), round + 100}, {nullptr, 4096}, {Item(9), 0}};
        for (const auto& [p, n] : items) ASSERT_TRUE(queue.Put(p, n));
        for (const auto& [p, n] : items) {
            EXPECT_TRUE(Take(queue, pData, nCount, round % 2 == 0) && pData == p && nCount == n) << round;
        }
    }
    for (uintptr_t i = 0; i < 3; ++i) ASSERT_TRUE(queue.Put(Item(i), i));
    std::future<bool> fourth = Async([&queue] { return queue.Put(Item(4), 4); });
    T_ABORT_ON_EXIT<CQueue> guard{queue};
    EXPECT_TRUE(StillWaiting(fourth));
    EXPECT_TRUE(Take(queue, pData, nCount) && pData == Item(0));
    ASSERT_TRUE(Finishes(fourth) && fourth.get());
    for (uintptr_t i : {1, 2, 4}) EXPECT_TRUE(Take(queue, pData, nCount) && pData == Item(i));
}

TEST(Queue, AbortWakesEveryWaiterAndWinsOverFreeSlotsAndQueuedItems)
{
    CQueue full(1), empty(1);
    ASSERT_TRUE(full.Put(Item(1), 1));
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    std::vector<std::future<bool>> waiters;
    for (int i = 0; i < 2; ++i) {
        waiters.push_back(Async([&full] { return full.Put(Item(2), 2); }));
        waiters.push_back(Async([&empty] {
            uint8_t* p = nullptr;
            uint64_t n = 0;
            return empty.Get(p, n);
        }));
    }
    T_ABORT_ON_EXIT<CQueue> guardFull{full}, guardEmpty{empty};
    for (const auto& w : waiters) EXPECT_TRUE(StillWaiting(w));
    full.Abort();
    empty.Abort();
    for (auto& w : waiters) EXPECT_TRUE(Finishes(w) && !w.get());
    EXPECT_FALSE(empty.Put(Item(3), 3));  // despite its free slot
    EXPECT_FALSE(Take(full, pData, nCount, false));  // despite the queued item
    EXPECT_FALSE(Take(full, pData, nCount));
}

}  // namespace
