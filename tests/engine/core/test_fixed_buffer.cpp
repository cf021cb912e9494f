// The block pool: layout, reference counting, back-pressure on Alloc and
// Abort. Threads sharing blocks through queues: test_queue.cpp.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "engine/core/fixed_buffer.h"
#include "tests/engine/test_helpers.h"

namespace {

constexpr uint64_t MIB = 0x100000;

std::vector<uint8_t*> AllocAll(CFixedBuffer& pool, uint64_t nCount)
{
    std::vector<uint8_t*> blocks;
    for (uint64_t i = 0; i < nCount; ++i) blocks.push_back(pool.Alloc());
    return blocks;
}

}  // namespace

TEST(FixedBuffer, BlocksAreDistinctAlignedFullyUsableAndComeBack)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(4096, 8));
    ASSERT_NE(pool.Alloc(), nullptr);  // still out when the pool is rebuilt
    ASSERT_TRUE(pool.Create(MIB, 16));
    EXPECT_EQ(pool.BlockCount(), 16u);
    EXPECT_EQ(pool.UsedCount(), 0u);
    const std::vector<uint8_t*> blocks = AllocAll(pool, 16);
    const std::set<uint8_t*> distinct(blocks.begin(), blocks.end());
    EXPECT_EQ(distinct.size(), 16u);
    EXPECT_EQ(distinct.count(nullptr), 0u);
    EXPECT_EQ(pool.UsedCount(), 16u);
    for (uint8_t* p : blocks) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % BLOCK_ALIGNMENT, 0u);
        std::memset(p, 0xFF, MIB);  // up to the last byte, sparing the pool's bookkeeping
    }
    for (uint8_t* p : blocks) pool.Free(p);
    EXPECT_EQ(pool.UsedCount(), 0u);
    const std::vector<uint8_t*> again = AllocAll(pool, 16);
    EXPECT_EQ(std::set<uint8_t*>(again.begin(), again.end()), distinct);
}

TEST(FixedBuffer, WithoutBlocksAllocGivesNullAtOnce)
{
    // Never built, or asked for a size so large that no block can hold it.
    for (uint64_t nSize : {uint64_t{0}, UINT64_MAX, UINT64_MAX - 100}) {
        CFixedBuffer pool;
        if (nSize) { EXPECT_FALSE(pool.Create(nSize, 2)) << nSize; }
        EXPECT_EQ(pool.BlockCount(), 0u);
        std::future<uint8_t*> alloc = Async([&pool] { return pool.Alloc(); });
        T_ABORT_ON_EXIT<CFixedBuffer> guard{pool};
        ASSERT_TRUE(Finishes(alloc));
        EXPECT_EQ(alloc.get(), nullptr);
    }
}

TEST(FixedBuffer, TheSeventeenthAllocWaitsUntilABlockCountReachesZero)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(MIB, 16));
    uint8_t* pShared = AllocAll(pool, 16)[5];
    pool.AddRef(pShared);  // handed to a second consumer
    std::future<uint8_t*> seventeenth = Async([&pool] { return pool.Alloc(); });
    T_ABORT_ON_EXIT<CFixedBuffer> guard{pool};
    EXPECT_TRUE(StillWaiting(seventeenth));
    pool.Free(pShared);  // one consumer is done; the other still reads it
    EXPECT_TRUE(StillWaiting(seventeenth));
    pool.Free(pShared);
    ASSERT_TRUE(Finishes(seventeenth));
    EXPECT_EQ(seventeenth.get(), pShared);
    EXPECT_EQ(pool.UsedCount(), 16u);
}

TEST(FixedBuffer, AbortWakesEveryWaitingAllocAndWinsOverFreeBlocks)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(4096, 1));
    uint8_t* pOnly = pool.Alloc();
    ASSERT_NE(pOnly, nullptr);
    std::future<uint8_t*> first = Async([&pool] { return pool.Alloc(); });
    std::future<uint8_t*> second = Async([&pool] { return pool.Alloc(); });
    T_ABORT_ON_EXIT<CFixedBuffer> guard{pool};
    EXPECT_TRUE(StillWaiting(first));
    pool.Abort();
    ASSERT_TRUE(Finishes(first) && Finishes(second));
    EXPECT_EQ(first.get(), nullptr);
    EXPECT_EQ(second.get(), nullptr);
    pool.Free(pOnly);  // a stage that still holds a block may return it
    EXPECT_EQ(pool.UsedCount(), 0u);
    EXPECT_EQ(pool.Alloc(), nullptr);
}
