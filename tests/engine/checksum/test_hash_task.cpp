// The checksum task on raw images: size, digest, progress, an escaped
// .md5sum line, and the digest computed in line when its thread cannot
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

// An escaped line with a carriage return still agrees. (Agreement, another
// digest, no digest, an empty file and none at all:
// tests/e2e/test_checksum_file.sh.)
TEST_F(HashTaskTest, AnEscapedMd5sumLineEndingInCarriageReturnAgrees)
{
    const std::vector<uint8_t> data = Pattern(MIB + 10, 9);
    const std::string strSum = "\\" + Md5Of(data) + " x\\ny\r\n";
    AddImage("img.gmi", data);
    AddImage("img.gmi.md5sum", std::vector<uint8_t>(strSum.begin(), strSum.end()));
    Calculate("img.gmi");
    EXPECT_EQ(Results(), (std::vector<std::string>{"0:0", "3:" + std::to_string(data.size()), "1:" + Md5Of(data), "2:0"}));
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
