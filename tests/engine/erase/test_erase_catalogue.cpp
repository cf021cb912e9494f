// The erase method catalogue, the dialog's sixteen entries, and the sizing of an erase run's pool and queues.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/erase/erase_disk.h"
#include "engine/erase/erase_methods.h"

namespace {

// Every method can run: 1 to 35 passes, and a pass that repeats,
// complements or verifies a random sequence comes after the pass that made
// it.
TEST(EraseCatalogue, EveryMethodUsesOnlySequencesItMadeBefore)
{
    std::set<uint32_t> ids;
    for (const T_ERASE_METHOD& m : EraseMethods()) {
        SCOPED_TRACE(m.pConstant);
        EXPECT_TRUE(ids.insert(m.nId).second) << "id given twice";
        ASSERT_GE(m.nPass, 1u);
        ASSERT_LE(m.nPass, MAX_ERASE_PASSES);
        EXPECT_TRUE(std::string(m.pLogLine).starts_with("ERASE Method: "));
        EXPECT_TRUE(std::string(m.pLogLine).ends_with(".\n"));
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
    EXPECT_EQ(ids.size(), 30u);
}

TEST(EraseCatalogue, IdsOutsideTheCatalogueGetTheZeroFill)
{
    for (uint32_t nId : {0u, 5u, 999u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(IsEraseMethod(nId));
        const T_ERASE_METHOD& m = FindEraseMethod(nId);
        EXPECT_EQ(m.nId, ERASE_ZERO);
        EXPECT_STREQ(m.pLogLine, "ERASE Method: Fill zero(0x00).\n");
        EXPECT_EQ(m.nPass, 1u);
        EXPECT_EQ(m.arrPass[0], 0u);
    }
}

TEST(EraseDialog, SixteenEntriesEachForAMethodOfTheCatalogue)
{
    const auto entries = EraseDialogEntries();
    ASSERT_EQ(entries.size(), ERASE_DIALOG_ENTRY_COUNT);
    std::set<uint32_t> controls;
    std::set<uint32_t> methods;
    for (const T_ERASE_DIALOG_ENTRY& e : entries) {
        EXPECT_TRUE(controls.insert(e.nControlId).second) << e.nControlId;
        EXPECT_TRUE(methods.insert(e.nMethodId).second) << e.nMethodId;
        EXPECT_TRUE(IsEraseMethod(e.nMethodId)) << e.nMethodId;
    }
    for (int i = 0; i < static_cast<int>(entries.size()); ++i)
        EXPECT_EQ(EraseMethodOfDialogIndex(i), entries[static_cast<size_t>(i)].nMethodId) << i;
    for (int nIndex : {-1, 16, 1000}) EXPECT_EQ(EraseMethodOfDialogIndex(nIndex), ERASE_ZERO) << nIndex;
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
