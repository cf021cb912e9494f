// The read engine writing compressed images: one gzip member that inflates
// to the drive's bytes, an empty file for a drive of 0 bytes, a complete
// member for a drive that ends early.
#include <filesystem>

#include "engine/zlib/image_file_reader.h"
#include "tests/engine/read/disk_to_image_fixture.h"

namespace {

// The data a compressed image inflates to; false when it does not inflate.
bool Inflate(const std::string& strPath, std::vector<uint8_t>& data)
{
    CFakeDeviceProvider devices;
    CImageFileReader reader;
    if (!reader.Open(devices, strPath, true)) return false;
    std::vector<uint8_t> block(MIB);
    const std::atomic<bool> bAbort{false};
    for (uint32_t nGot = MIB; nGot == MIB;) {
        if (!reader.ReadBlock(block.data(), MIB, nGot, bAbort)) return false;
        data.insert(data.end(), block.begin(), block.begin() + nGot);
    }
    return true;
}

class DiskToImageCompressedTest : public DiskToImageTest {
protected:
    void SetUp() override
    {
        DiskToImageTest::SetUp();
        g_bOptCompressImage = true;
        if (!m_engine.m_zlib.IsLoaded()) GTEST_SKIP() << "no zlib library here";
    }
};

TEST_F(DiskToImageCompressedTest, AGmzHoldsOneMemberOfTheDrivesBytes)
{
    auto pDisk = CFakeDisk::WithPattern(3 * MIB + 333);
    ASSERT_TRUE(RunRead(pDisk));
    const auto file = ReadWholeFile(Image());
    ASSERT_GE(file.size(), 18u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 4), (std::vector<uint8_t>{0x1F, 0x8B, 0x08, 0x00}));
    std::vector<uint8_t> data;
    ASSERT_TRUE(Inflate(Image(), data));
    EXPECT_EQ(data, pDisk->Contents());
    EXPECT_EQ(m_strDigest, Md5Of(pDisk->Contents()));
    EXPECT_EQ(m_recorder.CountLines(DRIVE + " - 3146061 bytes dumped.\n"), 1u);
}

TEST_F(DiskToImageCompressedTest, ADriveOfNothingGivesAnEmptyFileAndAShortDriveACompleteMember)
{
    ASSERT_TRUE(RunRead(std::make_shared<CFakeDisk>(std::vector<uint8_t>{})));
    EXPECT_TRUE(ReadWholeFile(Image()).empty());

    std::filesystem::remove(Image());
    auto pDisk = CFakeDisk::WithPattern(4 * MIB);
    pDisk->EndEarlyAt(MIB + 5);
    ASSERT_TRUE(RunRead(pDisk));
    std::vector<uint8_t> data;
    ASSERT_TRUE(Inflate(Image(), data));
    EXPECT_EQ(data, std::vector<uint8_t>(pDisk->Contents().begin(), pDisk->Contents().begin() + MIB + 5));
}

}  // namespace
