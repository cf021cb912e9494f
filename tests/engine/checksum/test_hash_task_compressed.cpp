// The checksum task on compressed images: the digest of the data an image
// holds, equal to the read engine's for the drive it was made from, and
// the files it refuses as compressed images.
#include "engine/checksum/md5sum_file.h"
#include "engine/core/job_options.h"
#include "engine/core/progress.h"
#include "engine/read/disk_to_image.h"
#include "tests/engine/checksum/hash_task_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

class HashTaskCompressedTest : public HashTaskTest {
protected:
    void SetUp() override
    {
        HashTaskTest::SetUp();
        if (!m_zlib.IsLoaded()) GTEST_SKIP() << "no zlib library here";
    }
    void TearDown() override { ResetJobOptions(); }

    CZLIBIO m_zlib;  // keeps the library bound
};

// A .gmz made by a read, with the .md5sum file the job runner writes.
TEST_F(HashTaskCompressedTest, AReadsImageHasTheDrivesDigestAndItsMd5sumAgrees)
{
    CTempDir dir;
    const std::string strImage = dir.File("disk.gmz");
    const auto pDrive = CFakeDisk::WithPattern(3 * MIB + 333);
    m_devices.Add("fake:drive", pDrive);
    g_bOptCompressImage = true;
    CDiskToImage read;
    read.m_pDevices = &m_devices;
    ASSERT_TRUE(read.Run("fake:drive", strImage, 16));
    const std::string strDigest = Md5Text(read.m_digest);
    ASSERT_EQ(m_recorder.CountLines("DISK MD5SUM=" + strDigest + "\n"), 1u);
    uint32_t nError = 0;
    ASSERT_TRUE(WriteMd5SumFile(m_devices, strImage, read.m_digest, nError));

    m_recorder.Clear();
    Calculate(strImage, true);
    std::vector<std::string> results = Results();
    ASSERT_GE(results.size(), 5u);
    EXPECT_EQ(results.front(), "0:0");
    EXPECT_EQ(results[1], "3:0");  // the data size is known only at the end
    EXPECT_EQ(std::vector<std::string>(results.end() - 3, results.end()),
              (std::vector<std::string>{"3:" + std::to_string(pDrive->ReportedSize()), "1:" + strDigest, "2:0"}));
    EXPECT_TRUE(m_task.m_bHashValid);
    EXPECT_EQ(m_task.m_nImageSize, pDrive->ReportedSize());
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_CHECKSUM).back(), 1000);
}

// The read engine writes an empty file for a drive of 0 bytes.
TEST_F(HashTaskCompressedTest, AnEmptyFileIsTheImageOfNothing)
{
    AddImage("empty.gmz", {});
    Calculate("empty.gmz", true);
    EXPECT_EQ(Results(), (std::vector<std::string>{"0:0", "3:0", "3:0", "1:" + Md5Of({})}));
    EXPECT_TRUE(m_task.m_bHashValid);
}

TEST_F(HashTaskCompressedTest, OnlyWholeGzipImagesWithoutAHeaderNameAreHashed)
{
    const std::vector<uint8_t> data = TextLike(2 * MIB + 9);
    std::vector<uint8_t> named = CompressToMemory(data);
    named[3] = 0x08;  // FLG.FNAME: the header would carry a name
    std::vector<uint8_t> cut = CompressToMemory(data);
    cut.resize(cut.size() / 2);
    AddImage("raw.gmi", data);
    AddImage("named.gz", named);
    AddImage("cut.gmz", cut);
    for (const char* pImage : {"raw.gmi", "named.gz", "cut.gmz"}) {
        m_recorder.Clear();
        Calculate(pImage, true);
        EXPECT_EQ(Results().back(), "0:2") << pImage;
        EXPECT_FALSE(m_task.m_bHashValid);
    }
    // Without the compress option the same file is hashed as it stands.
    m_recorder.Clear();
    Calculate("named.gz", false);
    EXPECT_EQ(Results().back(), "1:" + Md5Of(named));
    EXPECT_FALSE(m_task.m_bHashValid);
}

}  // namespace
