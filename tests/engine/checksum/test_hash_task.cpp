// The checksum task on raw images: size, digest, progress, the verdict of
// the .md5sum file, and the digest computed in line when its thread cannot
// start.
#include <algorithm>
#include <system_error>

#include "tests/engine/checksum/hash_task_fixture.h"

namespace {

TEST_F(HashTaskTest, RawImagesGiveTheirSizeAndDigestAndEndAtFullProgress)
{
    for (const uint64_t nSize : {uint64_t{0}, uint64_t{1}, uint64_t{2 * MIB + 300}}) {
        const std::vector<uint8_t> data = Pattern(nSize, 3);
        const std::string strImage = "fake-" + std::to_string(nSize) + ".gmi";
        AddImage(strImage, data);
        m_recorder.Clear();
        Calculate(strImage);
        EXPECT_EQ(Results(), (std::vector<std::string>{"0:0", "3:" + std::to_string(nSize), "1:" + Md5Of(data)}));
        const std::vector<int64_t> progress = m_recorder.ProgressValues(PROGRESS_CHECKSUM);
        EXPECT_TRUE(progress.size() >= 2 && progress.front() == 0 && progress.back() == 1000);
        EXPECT_FALSE(m_task.m_bHashRequest || m_task.m_bHashValid || m_task.m_bHashBusy);
        EXPECT_EQ(m_task.m_nImageSize, nSize);
    }
}

TEST_F(HashTaskTest, TheVerdictComparesTheDigestWithTheMd5sumFile)
{
    const std::vector<uint8_t> data = Pattern(MIB + 10, 9);
    const std::string strDigest = Md5Of(data);
    // A named string: GCC 12 at -O1 misreads a temporary's growth as out of bounds.
    const std::string strOtherDigest(32, 'f');
    const std::pair<std::string, const char*> cases[] = {
        // the .md5sum file's contents ("-": none), the verdict
        {strDigest + " a.gmi\n", "2:0"},
        {"\\" + strDigest + " x\\ny\r\n", "2:0"},
        {strOtherDigest + " a.gmi\n", "2:1"},
        {"this is no digest at all\n", "2:1"},
        {"", "2:1"},
        {"-", nullptr},
    };
    int i = 0;
    for (const auto& [strSum, pVerdict] : cases) {
        const std::string strImage = "img" + std::to_string(i++) + ".gmi";
        AddImage(strImage, data);
        if (strSum != "-") AddImage(strImage + ".md5sum", std::vector<uint8_t>(strSum.begin(), strSum.end()));
        m_recorder.Clear();
        Calculate(strImage);
        std::vector<std::string> expected = {"0:0", "3:" + std::to_string(data.size()), "1:" + strDigest};
        if (pVerdict) expected.push_back(pVerdict);
        EXPECT_EQ(Results(), expected) << strSum;
    }
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
