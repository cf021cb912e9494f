// The progress a compare posts: as the verify pass of a job, and in every
// batch for the image and the drives that still run.
#include "tests/engine/engine_rig.h"

namespace engine_test {
namespace {

// As the second half of a job the whole bar starts half way.
TEST_F(CompareTest, AsTheVerifyPassOfAJobTheWholeBarStartsHalfWay)
{
    AddDriveWith(0, RawImage(8 * MIB))->SetReadDelayMs(20);
    T_ENGINE_JOB job = Job(1);
    job.bVerifyPass = true;
    ASSERT_TRUE(CCompareDiskImage().Run(job).bOk);
    const auto total = m_recorder.ProgressValues(PROGRESS_TOTAL);
    ASSERT_GE(total.size(), 3u);
    EXPECT_TRUE(std::is_sorted(total.begin(), total.end()));
    EXPECT_GE(total.front(), 500);
    EXPECT_TRUE(std::any_of(total.begin(), total.end(), [](int64_t v) { return v > 500 && v < 1000; }));
    EXPECT_EQ(total.back(), 1000);
}

// A verify pass posts its own codes; a drive that failed keeps only its
// speed in the batches after its failure.
TEST_F(CompareTest, EveryBatchCoversTheImageAndTheDrivesThatStillRun)
{
    const auto image = RawImage(3 * MIB);
    AddDriveWith(0, image);
    auto pBad = AddDriveWith(1, image);
    pBad->FailReads(2 * MIB, 2 * MIB + 1, SystemError::IoError());
    pBad->SetReadDelayMs(10);
    EXPECT_FALSE(Compare(2).bOk);
    std::vector<uint32_t> codes;
    for (const T_NOTIFY_MSG& msg : m_recorder.Messages()) {
        if (msg.uMsg == WM_ENGINE_PROGRESS) codes.push_back(static_cast<uint32_t>(msg.wParam));
    }
    const uint32_t r0 = ROWS[0], r1 = ROWS[1];
    const std::vector<uint32_t> last = {PROGRESS_TOTAL,       PROGRESS_REMAIN,            PROGRESS_IMAGE_VERIFY,
                                        PROGRESS_IMAGE_SPEED, PROGRESS_DRIVE_VERIFY + r0, PROGRESS_DRIVE_SPEED + r0,
                                        PROGRESS_DRIVE_SPEED + r1};
    ASSERT_GE(codes.size(), last.size());
    EXPECT_TRUE(std::equal(last.begin(), last.end(), codes.end() - static_cast<ptrdiff_t>(last.size())));
    EXPECT_FALSE(m_recorder.ProgressValues(PROGRESS_DRIVE_VERIFY + r1).empty());  // while it ran
    EXPECT_TRUE(m_recorder.ProgressValues(PROGRESS_IMAGE).empty());
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);  // the good drive was compared to the end
}

}  // namespace
}  // namespace engine_test
