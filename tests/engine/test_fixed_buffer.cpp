// The block pool: sizes, alignment, reference counting, back-pressure on
// Alloc, Abort, and many threads sharing one pool.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <set>
#include <thread>
#include <vector>

#include "engine/fixed_buffer.h"

namespace {

constexpr uint64_t MIB = 0x100000;
// Only detects a hang; a correct pool answers in microseconds.
constexpr auto HANG_LIMIT = std::chrono::seconds(30);
// How long a waiter is watched to see that it really waits. A correct pool
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
struct T_ABORT_ON_EXIT {
    CFixedBuffer& pool;
    ~T_ABORT_ON_EXIT() { pool.Abort(); }
};

std::vector<uint8_t*> AllocAll(CFixedBuffer& pool, uint64_t nCount)
{
    std::vector<uint8_t*> blocks;
    for (uint64_t i = 0; i < nCount; ++i) blocks.push_back(pool.Alloc());
    return blocks;
}

std::future<uint8_t*> AllocAsync(CFixedBuffer& pool)
{
    return std::async(std::launch::async, [&pool] { return pool.Alloc(); });
}

}  // namespace

TEST(FixedBufferLayout, SixteenBlocksOfOneMibAreDistinctAlignedAndFullyUsable)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(MIB, 16));
    EXPECT_EQ(pool.BlockCount(), 16u);
    std::vector<uint8_t*> blocks = AllocAll(pool, 16);
    std::set<uint8_t*> distinct(blocks.begin(), blocks.end());
    EXPECT_EQ(distinct.size(), 16u);
    EXPECT_EQ(distinct.count(nullptr), 0u);
    EXPECT_EQ(pool.UsedCount(), 16u);
    for (uint8_t* p : blocks) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % BLOCK_ALIGNMENT, 0u);
        std::memset(p, 0xFF, MIB);  // the whole data area, up to its last byte
    }
    // Filling every data area must leave the pool's own bookkeeping intact.
    for (uint8_t* p : blocks) pool.Free(p);
    EXPECT_EQ(pool.UsedCount(), 0u);
    std::vector<uint8_t*> again = AllocAll(pool, 16);
    EXPECT_EQ(std::set<uint8_t*>(again.begin(), again.end()), distinct);
    for (uint8_t* p : again) pool.Free(p);
}

TEST(FixedBufferLayout, CreateAgainReplacesTheEarlierBlocks)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(4096, 8));
    ASSERT_NE(pool.Alloc(), nullptr);  // still out when the pool is rebuilt
    ASSERT_TRUE(pool.Create(8192, 3));
    EXPECT_EQ(pool.BlockCount(), 3u);
    EXPECT_EQ(pool.UsedCount(), 0u);
    for (uint8_t* p : AllocAll(pool, 3)) {
        ASSERT_NE(p, nullptr);
        std::memset(p, 0x5A, 8192);
    }
}

TEST(FixedBufferLayout, WithoutBlocksAllocGivesNullAtOnce)
{
    // Never built, or asked for a size so large that no block can hold it.
    for (uint64_t nSize : {uint64_t{0}, UINT64_MAX, UINT64_MAX - 100}) {
        CFixedBuffer pool;
        if (nSize) {
            EXPECT_FALSE(pool.Create(nSize, 2)) << nSize;
        }
        EXPECT_EQ(pool.BlockCount(), 0u);
        std::future<uint8_t*> alloc = AllocAsync(pool);
        T_ABORT_ON_EXIT guard{pool};
        ASSERT_TRUE(Finishes(alloc));
        EXPECT_EQ(alloc.get(), nullptr);
    }
}

TEST(FixedBufferBackPressure, TheSeventeenthAllocWaitsUntilABlockCountReachesZero)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(MIB, 16));
    std::vector<uint8_t*> blocks = AllocAll(pool, 16);
    uint8_t* pShared = blocks[5];
    pool.AddRef(pShared);  // handed to a second consumer

    std::future<uint8_t*> seventeenth = AllocAsync(pool);
    T_ABORT_ON_EXIT guard{pool};
    EXPECT_TRUE(StillWaiting(seventeenth));
    pool.Free(pShared);  // one consumer is done; the other still reads it
    EXPECT_TRUE(StillWaiting(seventeenth));
    pool.Free(pShared);
    ASSERT_TRUE(Finishes(seventeenth));
    EXPECT_EQ(seventeenth.get(), pShared);
    EXPECT_EQ(pool.UsedCount(), 16u);
}

TEST(FixedBufferAbort, AbortWakesEveryWaitingAllocWithNull)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(4096, 1));
    uint8_t* pOnly = pool.Alloc();
    ASSERT_NE(pOnly, nullptr);
    std::future<uint8_t*> first = AllocAsync(pool);
    std::future<uint8_t*> second = AllocAsync(pool);
    T_ABORT_ON_EXIT guard{pool};
    EXPECT_TRUE(StillWaiting(first));
    pool.Abort();
    ASSERT_TRUE(Finishes(first));
    ASSERT_TRUE(Finishes(second));
    EXPECT_EQ(first.get(), nullptr);
    EXPECT_EQ(second.get(), nullptr);
    pool.Free(pOnly);  // a stage that still holds a block may return it
    EXPECT_EQ(pool.UsedCount(), 0u);
}

TEST(FixedBufferAbort, AbortWinsOverFreeBlocks)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(4096, 4));
    pool.Abort();
    EXPECT_EQ(pool.Alloc(), nullptr);
}

namespace {

// Each thread repeatedly holds one block, checks that nobody else holds it,
// shares it with a second reference and lets go of both.
void HoldBlocks(CFixedBuffer& pool, const std::map<uint8_t*, size_t>& index, std::vector<std::atomic<bool>>& inUse,
                int nRounds, std::atomic<int>& nFaults)
{
    for (int i = 0; i < nRounds; ++i) {
        uint8_t* p = pool.Alloc();
        auto it = index.find(p);
        if (it == index.end()) {
            ++nFaults;
            continue;
        }
        if (inUse[it->second].exchange(true)) ++nFaults;  // handed out twice
        pool.AddRef(p);
        std::this_thread::yield();
        pool.Free(p);
        inUse[it->second] = false;
        pool.Free(p);
    }
}

}  // namespace

TEST(FixedBufferThreads, MoreThreadsThanBlocksNeverShareABlockAndAllComeBack)
{
    constexpr uint64_t BLOCKS = 4;
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(4096, BLOCKS));
    std::map<uint8_t*, size_t> index;
    for (uint8_t* p : AllocAll(pool, BLOCKS)) index.emplace(p, index.size());
    for (const auto& [p, i] : index) pool.Free(p);
    ASSERT_EQ(index.size(), BLOCKS);

    std::vector<std::atomic<bool>> inUse(BLOCKS);
    std::atomic<int> nFaults{0};
    std::vector<std::future<void>> workers;
    for (int t = 0; t < 8; ++t) {
        workers.push_back(std::async(std::launch::async, [&] { HoldBlocks(pool, index, inUse, 2000, nFaults); }));
    }
    T_ABORT_ON_EXIT guard{pool};
    for (auto& w : workers) ASSERT_TRUE(Finishes(w));
    EXPECT_EQ(nFaults.load(), 0);
    EXPECT_EQ(pool.UsedCount(), 0u);
    std::vector<uint8_t*> after = AllocAll(pool, BLOCKS);
    std::set<uint8_t*> distinct(after.begin(), after.end());
    EXPECT_EQ(distinct.size(), BLOCKS);
    EXPECT_EQ(distinct.count(nullptr), 0u);
}
