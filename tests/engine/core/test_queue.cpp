// The work queue between two pipeline stages: order, back-pressure and
// abort. Pool blocks shared through queues are the engines' daily work.
#include <gtest/gtest.h>

#include "engine/core/queue.h"
#include "tests/engine/test_helpers.h"

namespace {

// Distinct fake data pointers; the queue never dereferences them.
uint8_t* Item(uintptr_t n)
{
    return reinterpret_cast<uint8_t*>(0x10000 + n * 16);
}

struct T_TAKEN {
    bool bOk = false;
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
};

T_TAKEN Take(CQueue& queue, bool bWait = true)
{
    T_TAKEN t;
    t.bOk = bWait ? queue.Get(t.pData, t.nCount) : queue.TryGet(t.pData, t.nCount);
    return t;
}

}  // namespace

TEST(Queue, ItemsComeOutAsTheyWentInRoundAfterRoundAndTryGetOnEmptyFails)
{
    CQueue queue(3);
    for (uintptr_t round = 0; round < 4; ++round) {  // the nodes are recycled
        EXPECT_FALSE(Take(queue, false).bOk);
        // A null block (a failed stage) and a 0 count (the end) travel too.
        const T_TAKEN items[] = {{true, Item(round), round + 100}, {true, nullptr, 4096}, {true, Item(9), 0}};
        for (const T_TAKEN& item : items) ASSERT_TRUE(queue.Put(item.pData, item.nCount));
        EXPECT_EQ(queue.Count(), 3u);
        for (const T_TAKEN& item : items) {
            const T_TAKEN t = Take(queue, round % 2 == 0);
            EXPECT_TRUE(t.bOk && t.pData == item.pData && t.nCount == item.nCount) << round;
        }
        EXPECT_EQ(queue.Count(), 0u);
    }
}

TEST(Queue, PutOnAFullQueueWaitsForAFreeSlotAndQueuesBehind)
{
    CQueue queue(2);
    ASSERT_TRUE(queue.Put(Item(1), 1) && queue.Put(Item(2), 2));
    std::future<bool> third = Async([&queue] { return queue.Put(Item(3), 3); });
    T_ABORT_ON_EXIT<CQueue> guard{queue};
    EXPECT_TRUE(StillWaiting(third));
    EXPECT_EQ(Take(queue).pData, Item(1));
    ASSERT_TRUE(Finishes(third));
    EXPECT_TRUE(third.get());
    EXPECT_EQ(Take(queue).pData, Item(2));
    EXPECT_EQ(Take(queue).pData, Item(3));
}

TEST(Queue, AbortWakesEveryWaiterAndWinsOverFreeSlotsAndQueuedItems)
{
    CQueue full(1);
    CQueue empty(1);
    ASSERT_TRUE(full.Put(Item(1), 1));
    std::vector<std::future<bool>> waiters;
    for (int i = 0; i < 2; ++i) {
        waiters.push_back(Async([&full] { return full.Put(Item(2), 2); }));
        waiters.push_back(Async([&empty] { return Take(empty).bOk; }));
    }
    T_ABORT_ON_EXIT<CQueue> guardFull{full};
    T_ABORT_ON_EXIT<CQueue> guardEmpty{empty};
    for (const auto& w : waiters) EXPECT_TRUE(StillWaiting(w));
    full.Abort();
    empty.Abort();
    for (auto& w : waiters) {
        ASSERT_TRUE(Finishes(w));
        EXPECT_FALSE(w.get());
    }
    EXPECT_TRUE(full.IsAborted());
    EXPECT_FALSE(empty.Put(Item(3), 3));  // despite its free slot
    EXPECT_FALSE(Take(full, false).bOk);  // despite the queued item
    EXPECT_FALSE(Take(full).bOk);
}
