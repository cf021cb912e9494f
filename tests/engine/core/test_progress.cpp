// Progress figures: whole-job per mille and remaining time for the three
// kinds of pass, stage figures, speed texts, and how they are posted.
#include <gtest/gtest.h>

#include "engine/core/progress.h"
#include "tests/support/recorder.h"

namespace {

constexpr uint64_t MB = 1000000;
constexpr int64_t UNKNOWN = -1;  // no remaining time yet

TEST(Progress, JobFiguresRoundDownAndSurviveZeroAndHugeValues)
{
    const uint64_t nHuge = uint64_t{1} << 60;
    const struct { uint64_t nSize, nRemain, nElapsedMs; EPass ePass; int64_t nPerMille, nRemainSeconds; } cases[] = {
        // A quarter done in one second: 250,000 bytes per second.
        {MB, 750000, 1000, EPass::One, 250, 3},
        {MB, 750000, 1000, EPass::ReadThenVerify, 125, 7},  // a verify pass of 1,000,000 bytes is to come
        {MB, 750000, 1000, EPass::VerifyAfterWrite, 625, 3},  // the write pass is behind
        {3, 2, 1000, EPass::ReadThenVerify, 166, 5},  // 166.7, 5.0 s: truncated towards zero
        {1000, 1, 1000, EPass::One, 999, 0},
        {MB, 0, 4000, EPass::ReadThenVerify, 500, 4},  // the verify to come goes at the read's speed
        {MB, MB, 500, EPass::VerifyAfterWrite, 500, UNKNOWN},  // no time before the first bytes
        {MB, 1000, 0, EPass::One, 999, UNKNOWN},  // nor before the first millisecond
        {0, 0, 1000, EPass::One, 1000, UNKNOWN},  // a zero-byte job is done
        {8001563222016, 4000781611008, 1000, EPass::One, 500, 1},  // an 8 TB drive keeps its precision
        {1000, 2000, 1000, EPass::One, 0, UNKNOWN},  // a count above the size: 0, not a wrapped figure
        {nHuge, nHuge - 1024, uint64_t{1} << 62, EPass::ReadThenVerify, 0, INT64_MAX},  // saturated
    };
    for (const auto& c : cases) {
        const T_JOB_FIGURES fig = ComputeJobFigures(c.nSize, c.nRemain, c.nElapsedMs, c.ePass);
        SCOPED_TRACE(testing::Message() << c.nSize << " " << c.nRemain << " " << c.nElapsedMs);
        EXPECT_EQ(fig.nPerMille, c.nPerMille);
        EXPECT_EQ(fig.bRemainKnown, c.nRemainSeconds != UNKNOWN);
        if (fig.bRemainKnown) { EXPECT_EQ(fig.nRemainSeconds, c.nRemainSeconds); }
    }
    EXPECT_EQ(StagePerMille(7, 6), 142);
    EXPECT_EQ(StagePerMille(0, 0), 1000);
    EXPECT_EQ(StagePerMille(1, UINT64_MAX), 0);
    EXPECT_DOUBLE_EQ(StageSpeed(123.0, 4096, 777, 777), 123.0);  // no time has passed: keep the old speed
    EXPECT_DOUBLE_EQ(StageSpeed(0.0, 512, 0xFFFFFF00u, 0x100u), 1000.0);  // across the tick counter's wrap
}

}  // namespace
