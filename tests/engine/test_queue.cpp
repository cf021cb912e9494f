// The work queue between two pipeline stages: order, back-pressure, abort,
// and a producer with two consumers sharing pool blocks through two queues.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include "engine/fixed_buffer.h"
#include "engine/queue.h"

namespace {

// Only detects a hang; a correct queue answers in microseconds.
constexpr auto HANG_LIMIT = std::chrono::seconds(30);
// How long a waiter is watched to see that it really waits. A correct queue
// never returns early, so a loaded machine can only weaken this check.
constexpr auto WATCH = std::chrono::milliseconds(50);

template <class T>
bool StillWaiting(const std::future<T>& f)
{
    return f.wait_for(WATCH) == std::future_status::timeout;
}

template <class T>
bool Finishes(const std::future<T>& f)
{
    return f.wait_for(HANG_LIMIT) == std::future_status::ready;
}

// Declared after the futures of a test, so that a failing test still wakes
// its waiters (the futures' destructors join them) instead of hanging.
template <class T>
struct T_ABORT_ON_EXIT {
    T& target;
    ~T_ABORT_ON_EXIT() { target.Abort(); }
};

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

T_TAKEN Take(CQueue& queue)
{
    T_TAKEN t;
    t.bOk = queue.Get(t.pData, t.nCount);
    return t;
}

T_TAKEN TryTake(CQueue& queue)
{
    T_TAKEN t;
    t.bOk = queue.TryGet(t.pData, t.nCount);
    return t;
}

std::future<bool> PutAsync(CQueue& queue, uint8_t* pData, uint64_t nCount)
{
    return std::async(std::launch::async, [&queue, pData, nCount] { return queue.Put(pData, nCount); });
}

std::future<T_TAKEN> GetAsync(CQueue& queue)
{
    return std::async(std::launch::async, [&queue] { return Take(queue); });
}

}  // namespace

TEST(QueueOrder, ItemsComeOutInTheOrderTheyWentInRoundAfterRound)
{
    CQueue queue(3);
    for (uintptr_t round = 0; round < 5; ++round) {  // the nodes are recycled
        for (uintptr_t i = 0; i < 3; ++i) ASSERT_TRUE(queue.Put(Item(round * 3 + i), round * 3 + i + 100));
        EXPECT_EQ(queue.Count(), 3u);
        for (uintptr_t i = 0; i < 3; ++i) {
            T_TAKEN t = TryTake(queue);
            ASSERT_TRUE(t.bOk);
            EXPECT_EQ(t.pData, Item(round * 3 + i));
            EXPECT_EQ(t.nCount, round * 3 + i + 100);
        }
        EXPECT_EQ(queue.Count(), 0u);
    }
}

TEST(QueueOrder, NullDataAndZeroCountTravelLikeAnyOtherItem)
{
    // Consumers read a null block as a failed stage and a 0 count as the end
    // of the medium, so both must arrive exactly as they were put.
    CQueue queue(4);
    ASSERT_TRUE(queue.Put(nullptr, 4096));
    ASSERT_TRUE(queue.Put(Item(7), 0));
    T_TAKEN first = Take(queue);
    T_TAKEN second = Take(queue);
    EXPECT_TRUE(first.bOk && second.bOk);
    EXPECT_EQ(first.pData, nullptr);
    EXPECT_EQ(first.nCount, 4096u);
    EXPECT_EQ(second.pData, Item(7));
    EXPECT_EQ(second.nCount, 0u);
}

TEST(QueueOrder, TryGetOnAnEmptyQueueFailsAtOnce)
{
    CQueue queue(2);
    EXPECT_FALSE(TryTake(queue).bOk);
    ASSERT_TRUE(queue.Put(Item(1), 1));
    EXPECT_TRUE(TryTake(queue).bOk);
    EXPECT_FALSE(TryTake(queue).bOk);
}

TEST(QueueBackPressure, PutOnAFullQueueWaitsForAFreeSlotAndQueuesBehind)
{
    CQueue queue(2);
    ASSERT_TRUE(queue.Put(Item(1), 1));
    ASSERT_TRUE(queue.Put(Item(2), 2));
    std::future<bool> third = PutAsync(queue, Item(3), 3);
    T_ABORT_ON_EXIT<CQueue> guard{queue};
    EXPECT_TRUE(StillWaiting(third));
    EXPECT_EQ(Take(queue).pData, Item(1));
    ASSERT_TRUE(Finishes(third));
    EXPECT_TRUE(third.get());
    EXPECT_EQ(Take(queue).pData, Item(2));
    EXPECT_EQ(Take(queue).pData, Item(3));
}

TEST(QueueAbort, AbortWakesAPutWaitingOnAFullQueue)
{
    CQueue queue(1);
    ASSERT_TRUE(queue.Put(Item(1), 1));
    std::future<bool> blocked = PutAsync(queue, Item(2), 2);
    T_ABORT_ON_EXIT<CQueue> guard{queue};
    EXPECT_TRUE(StillWaiting(blocked));
    queue.Abort();
    ASSERT_TRUE(Finishes(blocked));
    EXPECT_FALSE(blocked.get());
    EXPECT_TRUE(queue.IsAborted());
}

TEST(QueueAbort, AbortWakesAGetWaitingOnAnEmptyQueue)
{
    CQueue queue(4);
    std::future<T_TAKEN> blocked = GetAsync(queue);
    T_ABORT_ON_EXIT<CQueue> guard{queue};
    EXPECT_TRUE(StillWaiting(blocked));
    queue.Abort();
    ASSERT_TRUE(Finishes(blocked));
    EXPECT_FALSE(blocked.get().bOk);
}

TEST(QueueAbort, AnAbortedQueueRefusesItemsDespiteFreeSlotsAndDeliversNothingQueued)
{
    CQueue queue(4);
    ASSERT_TRUE(queue.Put(Item(1), 1));
    ASSERT_TRUE(queue.Put(Item(2), 2));
    queue.Abort();
    EXPECT_FALSE(queue.Put(Item(3), 3));
    EXPECT_FALSE(TryTake(queue).bOk);
    std::future<T_TAKEN> got = GetAsync(queue);
    ASSERT_TRUE(Finishes(got));
    EXPECT_FALSE(got.get().bOk);
    queue.Abort();  // aborting again changes nothing
    EXPECT_TRUE(queue.IsAborted());
    EXPECT_FALSE(queue.Put(Item(4), 4));
}

namespace {

void Produce(CQueue& queue, uintptr_t nItems)
{
    for (uintptr_t i = 1; i <= nItems; ++i) {
        if (!queue.Put(Item(i), i)) return;
    }
    queue.Put(nullptr, 0);  // end of data
}

// Counts the items that arrive in order; stops at the end marker.
uintptr_t ConsumeInOrder(CQueue& queue)
{
    uintptr_t nInOrder = 0;
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    while (queue.Get(pData, nCount) && nCount != 0) {
        if (pData != Item(nInOrder + 1) || nCount != nInOrder + 1) break;
        ++nInOrder;
    }
    return nInOrder;
}

}  // namespace

TEST(QueueThreads, AProducerConsumerPairPassesEveryItemInOrder)
{
    constexpr uintptr_t ITEMS = 20000;
    CQueue queue(4);
    std::future<void> producer = std::async(std::launch::async, [&] { Produce(queue, ITEMS); });
    std::future<uintptr_t> consumer = std::async(std::launch::async, [&] { return ConsumeInOrder(queue); });
    T_ABORT_ON_EXIT<CQueue> guard{queue};
    ASSERT_TRUE(Finishes(producer));
    ASSERT_TRUE(Finishes(consumer));
    EXPECT_EQ(consumer.get(), ITEMS);
    EXPECT_EQ(queue.Count(), 0u);
}

TEST(QueueThreads, AbortStopsABusyPairOnBothSides)
{
    CQueue queue(2);
    std::future<void> producer = std::async(std::launch::async, [&] { Produce(queue, UINTPTR_MAX / 32); });
    std::future<uintptr_t> consumer = std::async(std::launch::async, [&] { return ConsumeInOrder(queue); });
    T_ABORT_ON_EXIT<CQueue> guard{queue};
    while (queue.Count() == 0 && consumer.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        std::this_thread::yield();  // until the items flow
    }
    queue.Abort();
    EXPECT_TRUE(Finishes(producer));
    EXPECT_TRUE(Finishes(consumer));
}

namespace {

// A reader stage that hands every block to two consumers, as the engines do.
struct T_PIPELINE {
    CFixedBuffer pool;
    CQueue first{4};
    CQueue second{4};

    void Produce(uint64_t nBlocks)
    {
        for (uint64_t i = 1; i <= nBlocks; ++i) {
            uint8_t* p = pool.Alloc();
            if (!p) return;
            std::memcpy(p, &i, sizeof i);
            pool.AddRef(p);
            if (!first.Put(p, i)) return;
            if (!second.Put(p, i)) return;
        }
        first.Put(nullptr, 0);
        second.Put(nullptr, 0);
    }

    // Returns how many blocks arrived in order with the data they were given.
    uint64_t Consume(CQueue& queue)
    {
        uint64_t nGood = 0;
        uint8_t* p = nullptr;
        uint64_t nCount = 0;
        while (queue.Get(p, nCount) && nCount != 0) {
            uint64_t nStamp = 0;
            std::memcpy(&nStamp, p, sizeof nStamp);
            pool.Free(p);
            if (nStamp != nCount || nCount != nGood + 1) break;
            ++nGood;
        }
        return nGood;
    }

    void Abort()
    {
        first.Abort();
        second.Abort();
        pool.Abort();
    }
};

}  // namespace

TEST(QueuePipeline, SharedBlocksReachBothConsumersAndAllReturnToThePool)
{
    constexpr uint64_t BLOCKS = 3000;
    T_PIPELINE pipe;
    ASSERT_TRUE(pipe.pool.Create(4096, 4));
    std::future<void> producer = std::async(std::launch::async, [&] { pipe.Produce(BLOCKS); });
    std::future<uint64_t> one = std::async(std::launch::async, [&] { return pipe.Consume(pipe.first); });
    std::future<uint64_t> two = std::async(std::launch::async, [&] { return pipe.Consume(pipe.second); });
    T_ABORT_ON_EXIT<T_PIPELINE> guard{pipe};
    ASSERT_TRUE(Finishes(producer));
    ASSERT_TRUE(Finishes(one));
    ASSERT_TRUE(Finishes(two));
    EXPECT_EQ(one.get(), BLOCKS);
    EXPECT_EQ(two.get(), BLOCKS);
    EXPECT_EQ(pipe.pool.UsedCount(), 0u);
}

TEST(QueuePipeline, AbortingAStalledPipelineFreesTheProducerWaitingForABlock)
{
    // The second consumer never takes anything: its queue fills, holds every
    // block, and the producer waits in Alloc until the pipeline is aborted.
    T_PIPELINE pipe;
    ASSERT_TRUE(pipe.pool.Create(4096, 4));
    std::future<void> producer = std::async(std::launch::async, [&] { pipe.Produce(100); });
    std::future<uint64_t> one = std::async(std::launch::async, [&] { return pipe.Consume(pipe.first); });
    T_ABORT_ON_EXIT<T_PIPELINE> guard{pipe};
    const auto deadline = std::chrono::steady_clock::now() + HANG_LIMIT;
    auto stalled = [&] { return pipe.second.Count() == 4 && pipe.first.Count() == 0; };
    while (!stalled() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    ASSERT_TRUE(stalled());
    EXPECT_TRUE(StillWaiting(producer));
    pipe.Abort();
    ASSERT_TRUE(Finishes(producer));
    ASSERT_TRUE(Finishes(one));
    EXPECT_EQ(one.get(), 4u);
    EXPECT_EQ(pipe.pool.UsedCount(), 4u);  // still queued; released with the pool
}
