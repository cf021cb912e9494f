// How a compare ends: image read errors that end the whole run, a stop from
// outside at every place a worker waits, a run in which every drive failed,
// the smallest pool shared by four drives, and the progress it posts.
#include <future>

#include "tests/engine/compare/compare_fixture.h"

namespace {

using namespace std::chrono_literals;

TEST_F(CompareDiskImageTest, ImageReadErrorsEndTheWholeRun)
{
    auto pImage = FakeImage(CFakeDisk::WithPattern(16 * MIB)->Contents());
    pImage->FailReads(MIB + 1, MIB + 2, SystemError::IoError());
    auto pOne = std::make_shared<CFakeDisk>(pImage->Contents());
    auto pTwo = std::make_shared<CFakeDisk>(pImage->Contents());
    m_engine.m_nRow[0] = 1;
    m_engine.m_nRow[1] = 0;
    EXPECT_FALSE(Compare({pOne, pTwo}, FAKE_IMAGE));
    EXPECT_EQ(pImage->ReadsAt(MIB), 11u);
    EXPECT_EQ(m_recorder.CountLines("file read error (00100000-001FFFFF).\n" + IoErrorText() + "\n"), 11u);
    EXPECT_EQ(m_recorder.CountLines("file read retry out.\n"), 1u);
    EXPECT_EQ(m_recorder.LogText().find("bytes checked"), std::string::npos);
    auto rows = FailedRows();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (std::vector<int64_t>{0, 1}));
    EXPECT_LT(pOne->TotalReads() + pTwo->TotalReads(), 24u);  // the drives are not read on
    for (const auto& pDisk : {pImage, pOne, pTwo}) EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
}

TEST_F(CompareDiskImageTest, WhenEveryDriveHasFailedTheImageIsNotReadOn)
{
    auto pImage = FakeImage(CFakeDisk::WithPattern(16 * MIB)->Contents());
    auto pDisk = std::make_shared<CFakeDisk>(pImage->Contents());
    pDisk->FailReads(MIB, MIB + 1, SystemError::IoError());
    EXPECT_FALSE(Compare({pDisk}, FAKE_IMAGE));
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - disk read retry out.\n"), 1u);
    EXPECT_LT(pImage->TotalReads(), 12u);
    EXPECT_EQ(pImage->OpenCount(), pImage->CloseCount());
}

TEST_F(CompareDiskImageTest, AStopWhileADriveReaderRetriesEndsTheRetries)
{
    auto pImage = FakeImage(CFakeDisk::WithPattern(4 * MIB)->Contents());
    auto pDisk = std::make_shared<CFakeDisk>(pImage->Contents());
    pDisk->FailReads(MIB, MIB + 1, SystemError::IoError());
    pDisk->SetReadDelayMs(30);
    StopWhen(m_engine, [&] { return pDisk->ReadsAt(MIB) >= 3; }, [&] { return Compare({pDisk}, FAKE_IMAGE); });
    EXPECT_LT(pDisk->ReadsAt(MIB), 11u);
    EXPECT_EQ(m_recorder.LogText().find("retry out"), std::string::npos);
    EXPECT_EQ(FailedRows(), std::vector<int64_t>{0});
    EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
    EXPECT_EQ(pImage->OpenCount(), pImage->CloseCount());
}

TEST_F(CompareDiskImageTest, AStopWhileTheImageReaderRetriesEndsTheRetries)
{
    auto pImage = FakeImage(CFakeDisk::WithPattern(4 * MIB)->Contents());
    pImage->FailReads(MIB, MIB + 1, SystemError::IoError());
    pImage->SetReadDelayMs(30);
    auto pDisk = std::make_shared<CFakeDisk>(pImage->Contents());
    StopWhen(m_engine, [&] { return pImage->ReadsAt(MIB) >= 3; }, [&] { return Compare({pDisk}, FAKE_IMAGE); });
    EXPECT_LT(pImage->ReadsAt(MIB), 11u);
    EXPECT_EQ(m_recorder.LogText().find("retry out"), std::string::npos);
    EXPECT_EQ(pImage->OpenCount(), pImage->CloseCount());
}

// The drive runs ahead: its reader waits for room in the disk queue while
// the comparer waits for the image's block.
TEST_F(CompareDiskImageTest, AStopWhileTheComparerWaitsForTheImageWakesEveryone)
{
    auto pImage = FakeImage(CFakeDisk::WithPattern(16 * MIB)->Contents());
    pImage->SetReadDelayMs(100);
    auto pDisk = std::make_shared<CFakeDisk>(pImage->Contents());
    StopWhen(m_engine, [&] { return pDisk->TotalReads() >= 8; }, [&] { return Compare({pDisk}, FAKE_IMAGE); });
    EXPECT_LT(pImage->TotalReads(), 8u);
    EXPECT_EQ(m_recorder.LogText().find("bytes checked"), std::string::npos);
    EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
    EXPECT_EQ(pImage->OpenCount(), pImage->CloseCount());
}

// The image runs ahead: its reader waits for room in the file queue while
// the comparer waits for the drive's block.
TEST_F(CompareDiskImageTest, AStopWhileTheImageReaderWaitsForTheComparerWakesEveryone)
{
    auto pImage = FakeImage(CFakeDisk::WithPattern(16 * MIB)->Contents());
    auto pOne = std::make_shared<CFakeDisk>(pImage->Contents());
    auto pTwo = std::make_shared<CFakeDisk>(pImage->Contents());
    pTwo->SetReadDelayMs(100);
    StopWhen(m_engine, [&] { return pImage->TotalReads() >= 5; },
             [&] { return Compare({pOne, pTwo}, FAKE_IMAGE); });
    EXPECT_LT(pTwo->TotalReads(), 8u);
    for (const auto& pDisk : {pImage, pOne, pTwo}) EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
}

TEST_F(CompareDiskImageTest, AStopBeforeTheRunStartsNoWorker)
{
    auto pImage = FakeImage(CFakeDisk::WithPattern(MIB)->Contents());
    auto pDisk = std::make_shared<CFakeDisk>(pImage->Contents());
    m_engine.Abort();
    EXPECT_FALSE(Compare({pDisk}, FAKE_IMAGE));
    EXPECT_EQ(pDisk->TotalReads() + pImage->TotalReads(), 0u);
    EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
    EXPECT_EQ(pImage->OpenCount(), pImage->CloseCount());
}

// Four fast drives against a slow image with the smallest pool: the drive
// side must never hold every block while the image reader waits for one.
TEST_F(CompareDiskImageTest, FourDrivesAndASlowImageNeverRunOutOfBlocks)
{
    auto pImage = FakeImage(CFakeDisk::WithPattern(12 * MIB)->Contents());
    pImage->SetReadDelayMs(10);
    std::vector<std::shared_ptr<CFakeDisk>> drives;
    for (int i = 0; i < 4; ++i) drives.push_back(std::make_shared<CFakeDisk>(pImage->Contents()));
    auto run = std::async(std::launch::async, [&] { return Compare(drives, FAKE_IMAGE); });
    if (run.wait_for(20s) != std::future_status::ready) {
        m_engine.Abort();
        run.wait();
        FAIL() << "the run waited for blocks that never came";
    }
    EXPECT_TRUE(run.get());
    EXPECT_EQ(m_recorder.CountLines("fake:drive3 - 12582912 bytes checked.\n"), 1u);
}

TEST_F(CompareDiskImageTest, TheLastProgressShowsTheFinishedStateHoweverQuicklyTheRunEnds)
{
    m_engine.m_dwInterval = 60000;  // the stages finish long before a first poll
    m_engine.m_nRow[0] = 3;
    for (bool bSecondHalf : {false, true}) {
        m_engine.m_bVerifyFollows = bSecondHalf;
        m_recorder.Clear();
        auto pDisk = CFakeDisk::WithPattern(2 * MIB);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(Compare({pDisk}, RawImage(pDisk->Contents())));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
        EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
        EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_IMAGE_VERIFY).back(), 1000);
        EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_DRIVE_VERIFY + 3).back(), 1000);
        EXPECT_EQ(m_recorder.ProgressTexts(PROGRESS_DRIVE_SPEED + 3).back(), "    0.00MB/s");
        EXPECT_TRUE(m_recorder.ProgressValues(PROGRESS_IMAGE).empty());  // a verify pass posts its own codes
        EXPECT_TRUE(m_recorder.ProgressValues(PROGRESS_DRIVE + 3).empty());
    }
}

TEST_F(CompareDiskImageTest, AsTheSecondHalfOfAJobTheWholeBarStartsHalfWay)
{
    m_engine.m_bVerifyFollows = true;
    auto pDisk = CFakeDisk::WithPattern(8 * MIB);
    pDisk->SetReadDelayMs(20);
    ASSERT_TRUE(Compare({pDisk}, RawImage(pDisk->Contents())));
    const auto total = m_recorder.ProgressValues(PROGRESS_TOTAL);
    ASSERT_GE(total.size(), 3u);
    EXPECT_TRUE(std::is_sorted(total.begin(), total.end()));
    EXPECT_GE(total.front(), 500);
    EXPECT_TRUE(std::any_of(total.begin(), total.end(), [](int64_t v) { return v > 500 && v < 1000; }));
}

TEST_F(CompareDiskImageTest, EachBatchCoversTheImageAndEveryDriveAndDropsAFailedDrivesBar)
{
    auto pGood = CFakeDisk::WithPattern(3 * MIB);
    auto pBad = std::make_shared<CFakeDisk>(pGood->Contents());
    pBad->FailReads(2 * MIB, 2 * MIB + 1, SystemError::IoError());
    pBad->SetReadDelayMs(10);
    m_engine.m_nRow[0] = 3;
    m_engine.m_nRow[1] = 1;
    EXPECT_FALSE(Compare({pGood, pBad}, RawImage(pGood->Contents())));
    const auto codes = ProgressCodes();
    const std::vector<uint32_t> running = {PROGRESS_TOTAL,         PROGRESS_REMAIN,         PROGRESS_IMAGE_VERIFY,
                                           PROGRESS_IMAGE_SPEED,   PROGRESS_DRIVE_VERIFY + 3, PROGRESS_DRIVE_SPEED + 3,
                                           PROGRESS_DRIVE_VERIFY + 1, PROGRESS_DRIVE_SPEED + 1};
    const std::vector<uint32_t> last = {PROGRESS_TOTAL,       PROGRESS_REMAIN,           PROGRESS_IMAGE_VERIFY,
                                        PROGRESS_IMAGE_SPEED, PROGRESS_DRIVE_VERIFY + 3, PROGRESS_DRIVE_SPEED + 3,
                                        PROGRESS_DRIVE_SPEED + 1};
    EXPECT_NE(std::search(codes.begin(), codes.end(), running.begin(), running.end()), codes.end());
    ASSERT_GE(codes.size(), last.size());
    EXPECT_TRUE(std::equal(last.begin(), last.end(), codes.end() - static_cast<ptrdiff_t>(last.size())));
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);  // the good drive was compared to the end
}

}  // namespace
