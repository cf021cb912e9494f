// The checksum task's request protocol: a new request cancels the running
// calculation and runs next, Cancel drops what has not started, quitting
// a busy task ends it at once, and the busy flag covers a request from the
// moment it is made.
#include "tests/engine/checksum/hash_task_fixture.h"

namespace {

using namespace std::chrono_literals;

class HashTaskRequestTest : public HashTaskTest {
protected:
    // A slow image: each 1 MiB block takes nDelayMs to read.
    void AddSlowImage(uint32_t nDelayMs)
    {
        m_pSlow = AddImage("slow.gmi", Pattern(SLOW_SIZE, 1));
        m_pSlow->SetReadDelayMs(nDelayMs);
    }
    // Requests the slow image and waits until its reading has begun.
    void StartSlow()
    {
        ASSERT_TRUE(m_task.Start());
        m_task.Request("slow.gmi", EImageFormat::Raw);
        ASSERT_TRUE(WaitForResult(SLOW_STARTED));
    }

    static constexpr uint64_t SLOW_SIZE = 32 * MIB;
    const std::string SLOW_STARTED = "3:" + std::to_string(SLOW_SIZE);
    std::shared_ptr<CFakeDisk> m_pSlow;
};

TEST_F(HashTaskRequestTest, ANewRequestCancelsTheRunningOneAndRunsNext)
{
    AddSlowImage(50);
    const std::vector<uint8_t> data = Pattern(MIB + 1, 2);
    AddImage("fast.gmi", data);
    StartSlow();
    const uint64_t nFast = m_task.Request("fast.gmi", EImageFormat::Raw);
    EXPECT_TRUE(m_task.m_bHashBusy);
    ASSERT_TRUE(m_task.WaitFinished(nFast, HANG_LIMIT));
    EXPECT_EQ(Results(), (std::vector<std::string>{"0:0", SLOW_STARTED, "0:1", "0:0", "3:" + std::to_string(data.size()),
                                                   "1:" + Md5Of(data)}));
    EXPECT_LT(m_pSlow->TotalReads(), SLOW_SIZE / MIB);
    EXPECT_FALSE(m_task.m_bHashBusy || m_task.m_bHashRequest);
}

// Cancelled midway, raw or compressed, a calculation ends as cancelled and
// never reports a digest of the part it had read as if it were the whole;
// a request made before the cancel and not started yet is dropped.
TEST_F(HashTaskRequestTest, CancelStopsTheRunningCalculationWithoutADigestAndDropsTheOneNotStarted)
{
    const std::vector<uint8_t> data = Pattern(8 * MIB, 6);
    AddImage("next.gmi", Pattern(MIB, 3));
    ASSERT_TRUE(m_task.Start());
    for (const bool bCompressed : {false, true}) {
        SCOPED_TRACE(bCompressed);
        m_recorder.Clear();
        const std::string strImage = bCompressed ? "slow.gmz" : "slow.gmi";
        auto pImage = AddImage(strImage, bCompressed ? CompressToMemory(data) : data);
        pImage->SetReadDelayMs(100);
        const std::string strSum = Sha256Of(data);
        AddImage(strImage + ".sha256", std::vector<uint8_t>(strSum.begin(), strSum.end()));
        uint64_t nId = m_task.Request(strImage, bCompressed ? EImageFormat::Gzip : EImageFormat::Raw);
        while (pImage->TotalReads() < 3) std::this_thread::sleep_for(1ms);  // a few blocks in
        if (!bCompressed) nId = m_task.Request("next.gmi", EImageFormat::Raw);
        m_task.Cancel();
        ASSERT_TRUE(m_task.WaitFinished(nId, HANG_LIMIT));
        const std::vector<std::string> results = Results();
        EXPECT_EQ(results.back(), "0:1");
        EXPECT_EQ(std::count(results.begin(), results.end(), "0:0"), 1);  // the next one never started
        for (const std::string& strResult : results)  // no digest, no verdict
            EXPECT_TRUE(strResult.starts_with("0:") || strResult.starts_with("3:")) << strResult;
        EXPECT_FALSE(m_task.m_bHashValid || m_task.m_bHashBusy);
        EXPECT_TRUE(m_task.m_bHashRequest) << "the request was not fulfilled";
    }
}

TEST_F(HashTaskRequestTest, QuittingABusyTaskEndsItWithinABlock)
{
    AddSlowImage(400);
    StartSlow();
    const auto tStart = std::chrono::steady_clock::now();
    m_task.Quit();
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, 2s);
    EXPECT_EQ(Results().back(), "0:1");
    EXPECT_FALSE(m_task.m_bHashBusy || m_task.m_bHashValid);
    // A request to a task that has ended is settled at once.
    EXPECT_TRUE(m_task.WaitFinished(m_task.Request("slow.gmi", EImageFormat::Raw), 0ms));
}

}  // namespace
