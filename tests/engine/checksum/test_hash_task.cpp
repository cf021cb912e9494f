// The checksum task's calculations of raw images: size, digest, progress,
// the verdict of the .md5sum file, failures that stay out of the log, and
// the digest computed in line when its thread cannot start.
#include <algorithm>
#include <system_error>

#include "engine/core/format.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "tests/engine/checksum/hash_task_fixture.h"

namespace {

TEST_F(HashTaskTest, RawImagesGiveTheirSizeAndDigestAndEndAtFullProgress)
{
    for (const uint64_t nSize : {uint64_t{0}, uint64_t{1}, uint64_t{MIB}, uint64_t{2 * MIB + 300}}) {
        const std::vector<uint8_t> data = Pattern(nSize, 3);
        const std::string strImage = "fake-" + std::to_string(nSize) + ".gmi";
        AddImage(strImage, data);
        m_recorder.Clear();
        Calculate(strImage);
        EXPECT_EQ(Results(), (std::vector<std::string>{"0:0", "3:" + std::to_string(nSize), "1:" + Md5Of(data)}));
        const std::vector<int64_t> progress = m_recorder.ProgressValues(PROGRESS_CHECKSUM);
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.front(), 0);
        EXPECT_EQ(progress.back(), 1000);
        EXPECT_FALSE(m_task.m_bHashRequest || m_task.m_bHashValid || m_task.m_bHashBusy);
        EXPECT_EQ(m_task.m_nImageSize, nSize);
    }
}

TEST_F(HashTaskTest, ProgressFollowsTheFileAtMostEveryQuarterSecond)
{
    const std::vector<uint8_t> data = Pattern(8 * MIB, 5);
    AddImage("fake-slow.gmi", data)->SetReadDelayMs(120);
    const auto tStart = std::chrono::steady_clock::now();
    Calculate("fake-slow.gmi");
    const auto nElapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - tStart).count();
    const std::vector<int64_t> progress = m_recorder.ProgressValues(PROGRESS_CHECKSUM);
    ASSERT_GE(progress.size(), 3u) << "no report between the first and the last";
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_GT(progress[1], 0);
    EXPECT_LT(progress[progress.size() - 2], 1000);
    EXPECT_LE(static_cast<int64_t>(progress.size()) - 2, nElapsedMs / 250 + 1);
}

TEST_F(HashTaskTest, TheVerdictComparesTheDigestWithTheMd5sumFile)
{
    const std::vector<uint8_t> data = Pattern(MIB + 10, 9);
    const std::string strDigest = Md5Of(data);
    std::string strOther = strDigest;
    strOther[31] = strOther[31] == '0' ? '1' : '0';
    const struct {
        const char* pName;
        std::string strSum;  // the .md5sum file's contents; "-" for no file
        const char* pVerdict;
    } cases[] = {
        {"same", strDigest + " same.gmi\n", "2:0"},
        {"escaped", "\\" + strDigest + " x\\ny\r\n", "2:0"},
        {"other", strOther + " other.gmi\n", "2:1"},
        {"garbage", "this is no digest at all\n", "2:1"},
        {"empty", "", "2:1"},
        {"none", "-", nullptr},
    };
    for (const auto& c : cases) {
        const std::string strImage = std::string(c.pName) + ".gmi";
        AddImage(strImage, data);
        if (c.strSum != "-") AddImage(strImage + ".md5sum", std::vector<uint8_t>(c.strSum.begin(), c.strSum.end()));
        m_recorder.Clear();
        Calculate(strImage);
        std::vector<std::string> expected = {"0:0", "3:" + std::to_string(data.size()), "1:" + strDigest};
        if (c.pVerdict) expected.push_back(c.pVerdict);
        EXPECT_EQ(Results(), expected) << c.pName;
    }
}

// The window shows "エラー" and nothing reaches the operator's log; the
// reasons go to the developer trace.
TEST_F(HashTaskTest, ImagesThatCannotBeHashedFailWithoutLogLines)
{
    const std::vector<uint8_t> data = Pattern(MIB, 2);
    AddImage("fake-unreadable.gmi", data)->FailReads(0, MIB, SystemError::IoError());
    AddImage("fake-pipe.gmi", data)->SetKind(EDeviceKind::PipeOrSocket);
    CTraceCapture trace;
    for (const char* pImage : {"no-such-image.gmi", "fake-unreadable.gmi", "fake-pipe.gmi"}) {
        m_recorder.Clear();
        Calculate(pImage);
        const std::vector<std::string> results = Results();  // a size comes when the file could be opened
        EXPECT_EQ(results.front(), "0:0") << pImage;
        EXPECT_EQ(results.back(), "0:2") << pImage;
        EXPECT_LE(results.size(), 3u) << pImage;
        EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_CHECKSUM).back(), 0);
        EXPECT_TRUE(m_recorder.LogLines().empty()) << m_recorder.LogText();
        EXPECT_TRUE(m_task.m_bHashRequest) << "only a success ends the request";
    }
    const std::vector<std::string> lines = trace.Lines();
    uint32_t nError = 0;
    GetPlatformDevices().Open("no-such-image.gmi", EOpenMode::ReadImage, nError);
    const std::string strOpenFailed = FormatText("taskCalcHash() - CreateFile() failed. (ERR:%08X)\n", nError);
    EXPECT_NE(std::find(lines.begin(), lines.end(), strOpenFailed), lines.end());
}

TEST_F(HashTaskTest, ReasonsReachTheLogWhenTheFrontEndAsksForThem)
{
    m_task.m_bLogReasons = true;
    Calculate("no-such-image.gmi");
    EXPECT_EQ(Results().back(), "0:2");
    EXPECT_NE(m_recorder.LogText().find("can't open file no-such-image.gmi.\n"), std::string::npos)
        << m_recorder.LogText();
}

TEST_F(HashTaskTest, WithoutADigestThreadTheReaderDigestsEveryBlockItself)
{
    std::atomic<int> nStarts{0};
    m_task.m_fnStartThread = [&](std::function<void()> fn) {
        if (nStarts++ > 0) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        return std::thread(std::move(fn));
    };
    const std::vector<uint8_t> data = Pattern(9 * MIB + 7, 4);  // more blocks than the queue holds
    AddImage("fake.gmi", data);
    Calculate("fake.gmi");
    EXPECT_GE(nStarts.load(), 2);
    EXPECT_EQ(Results().back(), "1:" + Md5Of(data));
}

}  // namespace
