// Progress figures: whole-job per mille and remaining time for the three
// kinds of pass, stage figures, speed texts, and how they are posted.
#include <gtest/gtest.h>

#include <string>

#include "engine/progress.h"
#include "tests/support/recorder.h"

namespace {

constexpr uint64_t MB = 1000000;

}  // namespace

TEST(ProgressJobFigures, AQuarterDoneInEachKindOfPass)
{
    // 250,000 of 1,000,000 bytes in one second: 250,000 bytes per second.
    T_JOB_FIGURES one = ComputeJobFigures(MB, 750000, 1000, EPass::One);
    EXPECT_EQ(one.nPerMille, 250);
    EXPECT_TRUE(one.bRemainKnown);
    EXPECT_EQ(one.nRemainSeconds, 3);

    T_JOB_FIGURES read = ComputeJobFigures(MB, 750000, 1000, EPass::ReadThenVerify);
    EXPECT_EQ(read.nPerMille, 125);
    EXPECT_EQ(read.nRemainSeconds, 7);  // the verify pass of 1,000,000 bytes is still to come

    T_JOB_FIGURES verify = ComputeJobFigures(MB, 750000, 1000, EPass::VerifyAfterWrite);
    EXPECT_EQ(verify.nPerMille, 625);  // the write pass is already behind
    EXPECT_EQ(verify.nRemainSeconds, 3);

    EXPECT_EQ(StagePerMille(MB, 750000), 250);  // a stage is always one pass
}

TEST(ProgressJobFigures, FiguresAreTruncatedTowardsZero)
{
    // 300 of 1000 bytes in one second: 700 / 300 = 2.33 s, 1700 / 300 = 5.67 s.
    EXPECT_EQ(ComputeJobFigures(1000, 700, 1000, EPass::One).nRemainSeconds, 2);
    EXPECT_EQ(ComputeJobFigures(1000, 700, 1000, EPass::ReadThenVerify).nRemainSeconds, 5);
    EXPECT_EQ(ComputeJobFigures(3, 2, 1000, EPass::One).nPerMille, 333);
    EXPECT_EQ(ComputeJobFigures(3, 2, 1000, EPass::ReadThenVerify).nPerMille, 166);
    EXPECT_EQ(ComputeJobFigures(3, 2, 1000, EPass::VerifyAfterWrite).nPerMille, 666);
    EXPECT_EQ(ComputeJobFigures(1000, 1, 1000, EPass::One).nPerMille, 999);  // not rounded up to 1000
    EXPECT_EQ(StagePerMille(7, 6), 142);
}

TEST(ProgressJobFigures, TheEndOfEachKindOfPass)
{
    EXPECT_EQ(ComputeJobFigures(MB, 0, 4000, EPass::One).nPerMille, 1000);
    EXPECT_EQ(ComputeJobFigures(MB, 0, 4000, EPass::One).nRemainSeconds, 0);
    T_JOB_FIGURES read = ComputeJobFigures(MB, 0, 4000, EPass::ReadThenVerify);
    EXPECT_EQ(read.nPerMille, 500);
    EXPECT_EQ(read.nRemainSeconds, 4);  // the verify pass at the read's speed
    EXPECT_EQ(ComputeJobFigures(MB, 0, 4000, EPass::VerifyAfterWrite).nPerMille, 1000);
}

TEST(ProgressJobFigures, NoRemainingTimeBeforeTheFirstBytesOrTheFirstMillisecond)
{
    for (EPass ePass : {EPass::One, EPass::ReadThenVerify, EPass::VerifyAfterWrite}) {
        EXPECT_FALSE(ComputeJobFigures(MB, MB, 500, ePass).bRemainKnown);
        EXPECT_FALSE(ComputeJobFigures(MB, 1000, 0, ePass).bRemainKnown);
    }
    EXPECT_EQ(ComputeJobFigures(MB, MB, 500, EPass::One).nPerMille, 0);
    EXPECT_EQ(ComputeJobFigures(MB, MB, 500, EPass::VerifyAfterWrite).nPerMille, 500);
}

TEST(ProgressJobFigures, AZeroByteJobCountsAsDoneWithoutDividingByZero)
{
    for (EPass ePass : {EPass::One, EPass::ReadThenVerify, EPass::VerifyAfterWrite}) {
        T_JOB_FIGURES fig = ComputeJobFigures(0, 0, 1000, ePass);
        EXPECT_EQ(fig.nPerMille, 1000);
        EXPECT_FALSE(fig.bRemainKnown);
    }
    EXPECT_EQ(StagePerMille(0, 0), 1000);
}

TEST(ProgressJobFigures, MultiTerabyteDrivesKeepTheirPrecision)
{
    const uint64_t nSize = 8001563222016;  // an 8 TB drive
    EXPECT_EQ(ComputeJobFigures(nSize, nSize / 2, 1000, EPass::One).nPerMille, 500);
    EXPECT_EQ(ComputeJobFigures(nSize, nSize / 2, 1000, EPass::One).nRemainSeconds, 1);
    EXPECT_EQ(ComputeJobFigures(nSize, 1, 1000, EPass::One).nPerMille, 999);
    EXPECT_EQ(StagePerMille(nSize, nSize - nSize / 4), 250);
}

TEST(ProgressJobFigures, ACountAboveTheSizeGivesZeroRatherThanAWrappedFigure)
{
    EXPECT_EQ(StagePerMille(1000, 2000), 0);
    EXPECT_EQ(StagePerMille(1, UINT64_MAX), 0);
    EXPECT_EQ(ComputeJobFigures(1000, 2000, 1000, EPass::One).nPerMille, 0);
    EXPECT_EQ(ComputeJobFigures(1000, 3000, 1000, EPass::VerifyAfterWrite).nPerMille, 0);
    EXPECT_FALSE(ComputeJobFigures(1000, 2000, 1000, EPass::One).bRemainKnown);
}

TEST(ProgressJobFigures, AnAlmostStalledJobSaturatesItsRemainingTime)
{
    // A few bytes in a very long time on a huge drive: beyond any 64-bit count.
    const uint64_t nSize = uint64_t{1} << 60;
    T_JOB_FIGURES fig = ComputeJobFigures(nSize, nSize - 1024, uint64_t{1} << 62, EPass::ReadThenVerify);
    EXPECT_TRUE(fig.bRemainKnown);
    EXPECT_EQ(fig.nRemainSeconds, INT64_MAX);
}

TEST(ProgressStage, StageSpeedIsBytesPerElapsedSecond)
{
    EXPECT_DOUBLE_EQ(StageSpeed(0.0, 0x100000, 1000, 1500), 2097152.0);
    EXPECT_DOUBLE_EQ(StageSpeed(123.0, 4096, 777, 777), 123.0);  // no time has passed: keep the old speed
    // The tick counter wraps around after 49.7 days; the difference still holds.
    EXPECT_DOUBLE_EQ(StageSpeed(0.0, 512, 0xFFFFFF00u, 0x100u), 1000.0);
}

TEST(ProgressSpeedText, MegabytesOfTenToTheSixthWithTwoDecimalsAndFourBlanks)
{
    EXPECT_EQ(SpeedText(12345678.0), "    12.35MB/s");
    EXPECT_EQ(SpeedText(1048576.0), "    1.05MB/s");
    EXPECT_EQ(SpeedText(0.0), "    0.00MB/s");
    EXPECT_EQ(SpeedText(4999.0), "    0.00MB/s");
    EXPECT_EQ(SpeedText(5.5e9), "    5500.00MB/s");
}

TEST(ProgressPosting, NumbersTravelInLParamAndSpeedsAsHeapTexts)
{
    CRecorder recorder;
    PostProgressValue(&recorder, WM_ENGINE_PROGRESS, PROGRESS_TOTAL, 250);
    PostProgressValue(&recorder, WM_ENGINE_PROGRESS, PROGRESS_REMAIN, 7);
    PostProgressSpeed(&recorder, WM_ENGINE_PROGRESS, PROGRESS_IMAGE_SPEED, 12345678.0);
    PostProgressSpeed(&recorder, WM_ENGINE_PROGRESS, PROGRESS_DRIVE_SPEED + 3, 2000000.0);
    EXPECT_EQ(recorder.ProgressValues(PROGRESS_TOTAL), std::vector<int64_t>{250});
    EXPECT_EQ(recorder.ProgressValues(PROGRESS_REMAIN), std::vector<int64_t>{7});
    EXPECT_EQ(recorder.ProgressTexts(PROGRESS_IMAGE_SPEED), std::vector<std::string>{"    12.35MB/s"});
    EXPECT_EQ(recorder.ProgressTexts(PROGRESS_DRIVE_SPEED + 3), std::vector<std::string>{"    2.00MB/s"});
    for (const T_NOTIFY_MSG& msg : recorder.Messages()) EXPECT_EQ(msg.uMsg, WM_ENGINE_PROGRESS);
}

TEST(ProgressPosting, OnlySpeedCodesCarryTexts)
{
    for (uint32_t nCode : {PROGRESS_IMAGE_SPEED, PROGRESS_DRIVE_SPEED, PROGRESS_DRIVE_SPEED + 3}) {
        EXPECT_TRUE(IsProgressText(nCode)) << nCode;
    }
    for (uint32_t nCode : {PROGRESS_TOTAL, PROGRESS_IMAGE, PROGRESS_CHECKSUM, PROGRESS_DRIVE + 3, PROGRESS_DRIVE_SPEED + 4}) {
        EXPECT_FALSE(IsProgressText(nCode)) << nCode;
    }
}
