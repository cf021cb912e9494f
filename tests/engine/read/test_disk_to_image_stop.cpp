// How a read ends: stopped from outside at every place a stage waits,
// with a flush that fails, with a medium that ends early; the progress it
// posts on the way and at the end; and the order of its result lines.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/engine/read/disk_to_image_fixture.h"

namespace {

using namespace std::chrono_literals;

// Runs the read on its own thread and stops it once bReady says so; the
// run must then return within a second.
template <class F, class G>
void StopWhen(CDiskToImage& engine, F bReady, G fnRun)
{
    std::thread stopper([&] {
        while (!bReady()) std::this_thread::sleep_for(1ms);
        engine.Abort();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(fnRun());
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
}

TEST_F(DiskToImageTest, AStopWhileTheReaderRetriesABlockEndsTheRetries)
{
    auto pDisk = CFakeDisk::WithPattern(4 * MIB);
    pDisk->FailReads(MIB, MIB + 1, SystemError::IoError());
    pDisk->SetReadDelayMs(30);
    StopWhen(m_engine, [&] { return pDisk->ReadsAt(MIB) >= 3; }, [&] { return RunRead(pDisk); });
    EXPECT_LT(pDisk->ReadsAt(MIB), 11u);
    EXPECT_EQ(m_recorder.LogText().find("retry out"), std::string::npos);  // neither the reader's nor the writer's
    EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
    EXPECT_EQ(ReadWholeFile(Image()).size(), MIB);  // flushed and closed with what it had
}

TEST_F(DiskToImageTest, AStopWhileTheReaderWaitsForAFreeBlockWakesIt)
{
    auto pImage = FakeImage();
    pImage->SetWriteDelayMs(20);  // the writer holds the pool back
    auto pDisk = CFakeDisk::WithPattern(64 * MIB);
    m_devices.Add(DRIVE, pDisk);
    StopWhen(m_engine, [&] { return pDisk->TotalReads() >= 16; },
             [&] { return m_engine.Run(DRIVE, FAKE_IMAGE, 16); });
    EXPECT_LT(pDisk->TotalReads(), 40u);
    EXPECT_EQ(m_recorder.LogText().find("retry out"), std::string::npos);
    EXPECT_EQ(m_recorder.LogText().find("bytes dumped"), std::string::npos);
    EXPECT_GE(pImage->FlushCount(), 1u);
    EXPECT_EQ(pImage->OpenCount(), pImage->CloseCount());
}

TEST_F(DiskToImageTest, AStopBeforeTheImageIsOpenedLeavesItUntouched)
{
    WriteWholeFile(Image(), {'o', 'l', 'd'});
    m_engine.Abort();
    CScriptedPrompt yes(true);
    EXPECT_FALSE(RunRead(CFakeDisk::WithPattern(MIB), &yes));
    EXPECT_EQ(yes.m_nAsked, 0);
    EXPECT_EQ(ReadWholeFile(Image()), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST_F(DiskToImageTest, AFlushThatFailsFailsTheRead)
{
    auto pImage = FakeImage();
    pImage->FailFlush(SystemError::IoError());
    m_devices.Add(DRIVE, CFakeDisk::WithPattern(2 * MIB));
    EXPECT_FALSE(m_engine.Run(DRIVE, FAKE_IMAGE, 16));
    EXPECT_EQ(m_recorder.CountLines("file flush error.\n" + GetSystemErrorText(SystemError::IoError()) + "\n"), 1u);
    EXPECT_FALSE(m_engine.m_writer.bSuccess);
    EXPECT_EQ(m_recorder.LogText().find("bytes dumped"), std::string::npos);
}

TEST_F(DiskToImageTest, TheDigestComesBeforeTheByteCountEveryTime)
{
    for (int i = 0; i < 5; ++i) {
        m_recorder.Clear();
        std::filesystem::remove(Image());
        ASSERT_TRUE(RunRead(CFakeDisk::WithPattern(3 * MIB, static_cast<uint32_t>(i + 1))));
        const std::string strLog = m_recorder.LogText();
        const size_t nDigest = strLog.find("DISK MD5SUM=");
        const size_t nDumped = strLog.find("bytes dumped");
        ASSERT_NE(nDigest, std::string::npos);
        ASSERT_NE(nDumped, std::string::npos);
        EXPECT_LT(nDigest, nDumped);
    }
}

TEST_F(DiskToImageTest, AMediumThatEndsEarlyIsReportedAndEveryStageEnds)
{
    auto pDisk = CFakeDisk::WithPattern(6 * MIB);
    pDisk->EndEarlyAt(2 * MIB + 512);
    ASSERT_TRUE(RunRead(pDisk));
    EXPECT_EQ(m_recorder.CountLines("the drive ended at 2097664 bytes, before its reported size of 6291456 bytes.\n"),
              1u);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_IMAGE).back(), 1000);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_DRIVE + 2).back(), 1000);
}

TEST_F(DiskToImageTest, TheLastProgressShowsTheFinishedStateHoweverQuicklyTheRunEnds)
{
    m_engine.m_dwInterval = 60000;  // the stages finish long before a first poll
    for (bool bVerify : {false, true}) {
        g_bOptVerify = bVerify;
        m_recorder.Clear();
        std::filesystem::remove(Image());
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(RunRead(CFakeDisk::WithPattern(2 * MIB)));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
        EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), bVerify ? 500 : 1000);
        EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_IMAGE).back(), 1000);
    }
}

TEST_F(DiskToImageTest, ProgressMovesForwardInBatchesOfSixDuringARun)
{
    auto pDisk = CFakeDisk::WithPattern(24 * MIB);
    pDisk->SetReadDelayMs(5);
    ASSERT_TRUE(RunRead(pDisk));
    std::vector<uint32_t> codes;
    for (const T_NOTIFY_MSG& msg : m_recorder.Messages()) {
        if (msg.uMsg == WM_ENGINE_PROGRESS) codes.push_back(static_cast<uint32_t>(msg.wParam));
    }
    // Each batch: total, (remaining time once a speed is known), image,
    // image speed, the drive row, its speed.
    const std::vector<uint32_t> withRemain = {PROGRESS_TOTAL,       PROGRESS_REMAIN, PROGRESS_IMAGE,
                                              PROGRESS_IMAGE_SPEED, PROGRESS_DRIVE + 2, PROGRESS_DRIVE_SPEED + 2};
    ASSERT_GE(codes.size(), 12u);
    EXPECT_TRUE(std::equal(withRemain.begin(), withRemain.end(), codes.end() - 6));
    const auto total = m_recorder.ProgressValues(PROGRESS_TOTAL);
    EXPECT_GE(total.size(), 3u);
    EXPECT_TRUE(std::is_sorted(total.begin(), total.end()));
    EXPECT_TRUE(std::any_of(total.begin(), total.end(), [](int64_t v) { return v > 0 && v < 1000; }));
}

TEST_F(DiskToImageTest, UnstableCountingWithLateAgreementAndReadErrors)
{
    g_bOptUnstableRead = true;
    g_nUnstableReadCount = UNSTABLE_READ_AGREEMENT;
    // Agreement that comes only after more than 10 counted reads is too late.
    auto pLate = CFakeDisk::WithPattern(16 * 1024);
    pLate->UnstableReads(4096, 4097, 9);
    EXPECT_FALSE(RunRead(pLate));
    EXPECT_EQ(m_recorder.CountLines("disk read retry out.\n"), 1u);
    // A read error between agreeing reads starts the agreement over: two
    // failed reads, then four that agree, six counted reads in all.
    m_recorder.Clear();
    std::filesystem::remove(Image());  // whatever the first run left
    auto pErrors = CFakeDisk::WithPattern(16 * 1024);
    pErrors->FailReads(8192, 8193, SystemError::IoError(), 2);
    ASSERT_TRUE(RunRead(pErrors));
    EXPECT_EQ(pErrors->ReadsAt(8192), 6u);
    EXPECT_EQ(m_recorder.CountLines("disk read error (00002000-00002FFF).\n" +
                                    GetSystemErrorText(SystemError::IoError()) + "\n"),
              2u);
    EXPECT_EQ(ReadWholeFile(Image()), pErrors->Contents());
}

}  // namespace
