// The erase method catalogue as far as it drives a run (every pass that
// uses a sequence comes after the pass that made it), and the sizing of an
// erase run's pool and queues.
#include <gtest/gtest.h>

#include <set>

#include "engine/erase/erase_disk.h"
#include "engine/erase/erase_methods.h"

namespace {

// Every method can run: 1 to 35 passes, and a pass that repeats,
// complements or verifies a random sequence comes after the pass that made
// it.
TEST(EraseCatalogue, EveryMethodUsesOnlySequencesItMadeBefore)
{
    for (const T_ERASE_METHOD& m : EraseMethods()) {
        SCOPED_TRACE(m.pConstant);
        ASSERT_GE(m.nPass, 1u);
        ASSERT_LE(m.nPass, MAX_ERASE_PASSES);
        std::set<uint32_t> made;
        for (uint32_t p = 0; p < m.nPass; ++p) {
            const uint32_t nCode = m.arrPass[p];
            if (ErasePassKind(nCode) == ERASE_PASS_RANDOM) {
                EXPECT_FALSE(IsVerifyPass(nCode)) << "a verification pass cannot make a sequence";
                EXPECT_TRUE(made.insert(ErasePassByte(nCode)).second) << "sequence made twice";
            } else if (IsRandomPass(nCode)) {
                EXPECT_TRUE(made.count(ErasePassByte(nCode))) << "pass " << p + 1 << " uses a sequence not made";
            }
        }
    }
}

// However many blocks the job has and targets the run has, the pool holds
// what every target can hold at once, the queues have room for one block
// at least, and the job's blocks are all used.
TEST(ErasePipelineSize, ThePoolAlwaysHoldsWhatEveryTargetCanTake)
{
    for (bool bCompare : {false, true}) {
        for (uint32_t nTargets = 1; nTargets <= 4; ++nTargets) {
            for (uint32_t nBlocks = 16; nBlocks <= 200; ++nBlocks) {
                const T_ERASE_PIPELINE p = ChooseErasePipeline(nBlocks, nTargets, bCompare);
                ASSERT_GE(p.nQueueCapacity, 1u);
                ASSERT_GE(p.nPoolBlocks, nBlocks);
                ASSERT_GE(p.nPoolBlocks, nTargets * EraseBlocksPerTarget(p.nQueueCapacity, bCompare))
                    << nBlocks << " blocks, " << nTargets << " targets";
                // Queues no shallower than the blocks allow.
                EXPECT_LT(nBlocks, nTargets * EraseBlocksPerTarget(p.nQueueCapacity + 1, bCompare));
            }
        }
    }
}

}  // namespace
