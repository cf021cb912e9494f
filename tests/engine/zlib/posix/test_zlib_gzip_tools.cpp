// Compressed images against the system's gzip tools, and a file system
// with no room left (/dev/full).
#include <cerrno>
#include <cstdlib>

#include "tests/engine/zlib/zlib_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

bool HaveGzip()
{
    return std::system("command -v gzip >/dev/null 2>&1 && command -v zcat >/dev/null 2>&1") == 0;
}

class ZlibGzipToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_zlib.IsLoaded()) << "no zlib library to test with";
        if (!HaveGzip()) GTEST_SKIP() << "gzip and zcat are not installed";
    }

    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode)
    {
        uint32_t nError = 0;
        auto pFile = GetPlatformDevices().Open(strPath, eMode, nError);
        EXPECT_NE(pFile, nullptr) << strPath << ": error " << nError;
        return pFile;
    }

    CTempDir m_dir;
    CZLIBIO m_zlib;
};

}  // namespace

TEST_F(ZlibGzipToolsTest, ImagePassesGzipsTestAndZcatGivesTheDriveBack)
{
    const std::vector<uint8_t> data = TextLike(3 * MIB + 17);
    const std::string strImage = m_dir.File("image.gmz");
    {
        auto pFile = Open(strImage, EOpenMode::CreateImageAlways);
        ASSERT_TRUE(pFile && WriteImage(m_zlib, *pFile, data).bOk);
    }
    EXPECT_EQ(std::system(("gzip -t '" + strImage + "'").c_str()), 0);
    const std::string strOut = m_dir.File("out.bin");
    ASSERT_EQ(std::system(("zcat '" + strImage + "' > '" + strOut + "'").c_str()), 0);
    EXPECT_TRUE(ReadWholeFile(strOut) == data);
}

TEST_F(ZlibGzipToolsTest, GzipOfANamedFileDecompresses)
{
    const std::vector<uint8_t> data = RandomBytes(MIB / 2, 4);
    std::vector<uint8_t> drive = TextLike(2 * MIB);
    drive.insert(drive.end(), data.begin(), data.end());
    const std::string strDrive = m_dir.File("disk.img");
    WriteWholeFile(strDrive, drive);
    ASSERT_EQ(std::system(("gzip -6 -k -f '" + strDrive + "'").c_str()), 0);
    const std::vector<uint8_t> head = ReadWholeFile(strDrive + ".gz");
    ASSERT_GT(head.size(), 4u);
    EXPECT_EQ(head[3], 0x08);  // the file's name is in the header

    auto pFile = Open(strDrive + ".gz", EOpenMode::ReadImage);
    ASSERT_TRUE(pFile);
    const T_READ_BACK back = ReadImage(m_zlib, *pFile);
    EXPECT_TRUE(back.result.bOk);
    EXPECT_TRUE(back.data == drive);
}

// A file system without room answers the write with ENOSPC; the writer
// gives that code back at once.
TEST(ZlibFullDiskTest, WriteToAFullFileSystemFailsWithNoSpace)
{
    CZLIBIO zlib;
    ASSERT_TRUE(zlib.IsLoaded());
    uint32_t nError = 0;
    auto pFull = GetPlatformDevices().Open("/dev/full", EOpenMode::CreateImageAlways, nError);
    if (!pFull) GTEST_SKIP() << "/dev/full cannot be opened: error " << nError;
    const CZLIBIO::T_RESULT result = WriteImage(zlib, *pFull, RandomBytes(2 * MIB, 8));
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.nZlibResult, Z_ERRNO);
    EXPECT_EQ(result.nError, static_cast<uint32_t>(ENOSPC));
}
