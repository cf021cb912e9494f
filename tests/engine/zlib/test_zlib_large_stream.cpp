// An image longer than 4 GiB: the gzip trailer keeps only the low 32 bits
// of the length, and nothing may depend on them (nor on zlib's own counters,
// 32-bit on Windows).
#include <cstring>

#include "tests/engine/zlib/zlib_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr uint64_t IMAGE_SIZE = (uint64_t{4} << 30) + 3 * MIB + 123;

// Block i of the image: a repeating 4 KiB pattern (quick to deflate) that
// carries the block's number, so a lost, doubled or misplaced block shows.
void FillBlock(uint64_t nIndex, std::vector<uint8_t>& block)
{
    static const std::vector<uint8_t> pattern = RandomBytes(4096, 11);
    for (size_t i = 0; i < block.size(); i += pattern.size()) {
        std::memcpy(block.data() + i, pattern.data(), std::min(pattern.size(), block.size() - i));
    }
    std::memcpy(block.data(), &nIndex, sizeof nIndex);
}

// The test has one thread: ThreadSanitizer has nothing to look at in it
// but would make it several times slower.
bool UnderThreadSanitizer()
{
#if defined(__SANITIZE_THREAD__)
    return true;
#else
    return false;
#endif
}

}  // namespace

TEST(ZlibLargeStreamTest, ImageOfMoreThan4GiBRoundTrips)
{
    if (UnderThreadSanitizer()) GTEST_SKIP() << "single-threaded, and slow under ThreadSanitizer";
    CTempDir dir;
    CZLIBIO zlib;
    ASSERT_TRUE(zlib.IsLoaded());
    std::vector<uint8_t> block(MIB);
    uint32_t nError = 0;
    {
        auto pFile = GetPlatformDevices().Open(dir.File("large.gmz"), EOpenMode::CreateImageAlways, nError);
        ASSERT_TRUE(pFile && zlib.InitWrite(*pFile).bOk) << nError;
        for (uint64_t nPos = 0, i = 0; nPos < IMAGE_SIZE; nPos += MIB, ++i) {
            FillBlock(i, block);
            const auto nCount = static_cast<uint32_t>(std::min<uint64_t>(MIB, IMAGE_SIZE - nPos));
            ASSERT_TRUE(zlib.WriteCompressFile(block.data(), nCount).bOk) << nPos;
        }
        ASSERT_TRUE(zlib.CommitWrite().bOk);
        zlib.Release();
    }
    const std::vector<uint8_t> image = ReadWholeFile(dir.File("large.gmz"));
    EXPECT_EQ(TrailerLength(image), static_cast<uint32_t>(IMAGE_SIZE));

    auto pFile = GetPlatformDevices().Open(dir.File("large.gmz"), EOpenMode::ReadImage, nError);
    ASSERT_TRUE(pFile && zlib.InitRead(*pFile).bOk) << nError;
    std::vector<uint8_t> expected(MIB);
    uint64_t nTotal = 0;
    for (uint64_t i = 0;; ++i) {
        uint32_t nProduced = 0;
        ASSERT_TRUE(zlib.ReadCompressFile(block.data(), MIB, nProduced).bOk) << nTotal;
        if (nProduced == 0) break;
        FillBlock(i, expected);
        ASSERT_EQ(std::memcmp(block.data(), expected.data(), nProduced), 0) << "block " << i;
        nTotal += nProduced;
        ASSERT_LE(nTotal, IMAGE_SIZE);
    }
    EXPECT_EQ(nTotal, IMAGE_SIZE);
    EXPECT_EQ(zlib.CompressedBytes(), image.size());
}
