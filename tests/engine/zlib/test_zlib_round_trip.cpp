// Compressed images written to real files and read back: awkward sizes,
// the gzip layout, and the block lengths a reader sees.
#include "tests/engine/zlib/zlib_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

class ZlibRoundTripTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_zlib.IsLoaded()) << "no zlib library to test with"; }

    std::string Image() const { return m_dir.File("image.gmz"); }

    CZLIBIO::T_RESULT WriteFile(const std::vector<uint8_t>& data, uint32_t nBlock = MIB)
    {
        uint32_t nError = 0;
        auto pFile = GetPlatformDevices().Open(Image(), EOpenMode::CreateImageAlways, nError);
        if (!pFile) ADD_FAILURE() << "cannot create the image, error " << nError;
        return pFile ? WriteImage(m_zlib, *pFile, data, nBlock) : CZLIBIO::T_RESULT{};
    }

    T_READ_BACK ReadFile(uint32_t nBlock = MIB)
    {
        uint32_t nError = 0;
        auto pFile = GetPlatformDevices().Open(Image(), EOpenMode::ReadImage, nError);
        if (!pFile) ADD_FAILURE() << "cannot open the image, error " << nError;
        return pFile ? ReadImage(m_zlib, *pFile, nBlock) : T_READ_BACK{};
    }

    CTempDir m_dir;
    CZLIBIO m_zlib;
};

struct T_CASE {
    const char* pszName;
    std::vector<uint8_t> data;
};

}  // namespace

TEST_F(ZlibRoundTripTest, ImagesOfAwkwardSizesAndContentsComeBackWhole)
{
    const T_CASE cases[] = {
        {"1 byte", {0x42}},
        {"1 MiB - 1", TextLike(MIB - 1)},
        {"1 MiB", TextLike(MIB)},
        {"1 MiB + 1", TextLike(MIB + 1)},
        {"incompressible", RandomBytes(3 * MIB + 5, 7)},
        {"all zeros", std::vector<uint8_t>(8 * MIB)},
    };
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.pszName);
        ASSERT_TRUE(WriteFile(c.data).bOk);
        const std::vector<uint8_t> image = ReadWholeFile(Image());
        ASSERT_GE(image.size(), 18u);
        EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 4), (std::vector<uint8_t>{0x1F, 0x8B, 0x08, 0x00}));
        EXPECT_EQ(m_zlib.CompressedBytes(), image.size());
        EXPECT_EQ(TrailerLength(image), c.data.size());
        const T_READ_BACK back = ReadFile();
        EXPECT_TRUE(back.result.bOk);
        EXPECT_TRUE(back.data == c.data);
        EXPECT_EQ(m_zlib.CompressedBytes(), image.size());
    }
}

TEST_F(ZlibRoundTripTest, ReaderGivesFullBlocksThenTheRestThenNothing)
{
    ASSERT_TRUE(WriteFile(TextLike(2 * MIB + MIB / 2)).bOk);
    EXPECT_EQ(ReadFile().lengths, (std::vector<uint32_t>{MIB, MIB, MIB / 2, 0}));
    ASSERT_TRUE(WriteFile(TextLike(2 * MIB)).bOk);
    EXPECT_EQ(ReadFile().lengths, (std::vector<uint32_t>{MIB, MIB, 0}));

    // After the end every further block is empty too.
    uint32_t nError = 0;
    auto pFile = GetPlatformDevices().Open(Image(), EOpenMode::ReadImage, nError);
    ASSERT_TRUE(pFile && m_zlib.InitRead(*pFile).bOk);
    std::vector<uint8_t> block(3 * MIB);
    uint32_t nProduced = 0;
    ASSERT_TRUE(m_zlib.ReadCompressFile(block.data(), 3 * MIB, nProduced).bOk);
    EXPECT_EQ(nProduced, 2 * MIB);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(m_zlib.ReadCompressFile(block.data(), MIB, nProduced).bOk);
        EXPECT_EQ(nProduced, 0u);
    }
}
