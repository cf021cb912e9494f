// The block pool: distinct aligned blocks that come back, back-pressure on
// Alloc until a shared block's last reference goes, and Abort.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "engine/core/fixed_buffer.h"
#include "tests/engine/test_helpers.h"

namespace {

constexpr uint64_t MIB = 0x100000;

TEST(FixedBuffer, BlocksAreDistinctAlignedFullyUsableAndComeBack)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(4096, 8));
    ASSERT_NE(pool.Alloc(), nullptr);  // still out when the pool is rebuilt
    ASSERT_TRUE(pool.Create(MIB, 16));
    std::set<uint8_t*> blocks;
    for (int i = 0; i < 16; ++i) blocks.insert(pool.Alloc());
    EXPECT_EQ(blocks.size(), 16u);
    EXPECT_EQ(blocks.count(nullptr), 0u);
    for (uint8_t* p : blocks) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % BLOCK_ALIGNMENT, 0u);
        std::memset(p, 0xFF, MIB);  // up to the last byte, sparing the pool's bookkeeping
    }
    for (uint8_t* p : blocks) pool.Free(p);
    EXPECT_EQ(pool.UsedCount(), 0u);
    std::set<uint8_t*> again;
    for (int i = 0; i < 16; ++i) again.insert(pool.Alloc());
    EXPECT_EQ(again, blocks);
    // Too large for any block: no pool, and Alloc gives null at once.
    EXPECT_FALSE(pool.Create(UINT64_MAX - 100, 2));
    EXPECT_EQ(pool.Alloc(), nullptr);
}

TEST(FixedBuffer, AllocWaitsForALastReferenceAndAbortWakesEveryWaiter)
{
    CFixedBuffer pool;
    ASSERT_TRUE(pool.Create(MIB, 2));
    pool.Alloc();
    uint8_t* pShared = pool.Alloc();
    pool.AddRef(pShared);  // handed to a second consumer
    std::future<uint8_t*> third = Async([&pool] { return pool.Alloc(); });
    T_ABORT_ON_EXIT<CFixedBuffer> guard{pool};
    pool.Free(pShared);  // one consumer is done; the other still reads it
    EXPECT_TRUE(StillWaiting(third));
    pool.Free(pShared);
    ASSERT_TRUE(Finishes(third));
    EXPECT_EQ(third.get(), pShared);
    std::future<uint8_t*> first = Async([&pool] { return pool.Alloc(); });
    std::future<uint8_t*> second = Async([&pool] { return pool.Alloc(); });
    EXPECT_TRUE(StillWaiting(first));
    pool.Abort();
    ASSERT_TRUE(Finishes(first) && Finishes(second));
    EXPECT_EQ(first.get(), nullptr);
    EXPECT_EQ(second.get(), nullptr);
    pool.Free(pShared);  // a stage that still holds a block may return it
    EXPECT_EQ(pool.Alloc(), nullptr);  // the abort wins over the free block
}

}  // namespace
