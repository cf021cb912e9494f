// How a compare ends beyond the engine matrix: a run in which every drive
// failed, the smallest pool shared by four drives, and the progress it
// posts on the way.
#include <future>

#include "tests/engine/compare/compare_rig.h"

namespace engine_test {
namespace {

using namespace std::chrono_literals;

TEST_F(CompareTest, WhenEveryDriveHasFailedTheImageIsNotReadOn)
{
    const auto image = RawImage(16 * MIB);
    AddDriveWith(0, image)->FailReads(MIB, MIB + 1, SystemError::IoError());
    EXPECT_FALSE(Compare(1).bOk);
    EXPECT_LT(m_pImage->TotalReads(), 12u);
    ExpectAllClosed();
}

// Four fast drives against a slow image with the smallest pool: the drive
// side must never hold every block while the image reader waits for one.
TEST_F(CompareTest, FourDrivesAndASlowImageNeverRunOutOfBlocks)
{
    const auto image = RawImage(12 * MIB);
    m_pImage->SetReadDelayMs(10);
    for (int i = 0; i < 4; ++i) AddDriveWith(i, image);
    auto run = std::async(std::launch::async, [&] { return Compare(4).bOk; });
    if (run.wait_for(20s) != std::future_status::ready) {
        m_engine.Abort();
        run.wait();
        FAIL() << "the run waited for blocks that never came";
    }
    EXPECT_TRUE(run.get());
    EXPECT_EQ(Count("fake:drive3 - 12582912 bytes checked.\n"), 1u);
}

// As the second half of a job the whole bar starts half way.
TEST_F(CompareTest, AsTheVerifyPassOfAJobTheWholeBarStartsHalfWay)
{
    AddDriveWith(0, RawImage(8 * MIB))->SetReadDelayMs(20);
    T_ENGINE_JOB job = Job(1);
    job.bVerifyPass = true;
    ASSERT_TRUE(m_engine.Run(job).bOk);
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
    const auto codes = ProgressCodes();
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
