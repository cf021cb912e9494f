// An image longer than 4 GiB, written on two threads and read back: the
// gzip trailer keeps only the low 32 bits of the length, and nothing may
// depend on them (nor on zlib's own counters, 32-bit on Windows); the
// chunks' CRC-32 values are joined across the 4 GiB mark. It takes minutes,
// so it runs natively only, as a long test (tests/CMakeLists.txt).
#include <cstring>

#include "engine/zlib/image_file_reader.h"
#include "engine/zlib/parallel_deflate.h"
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

TEST(LongZlibStream, AnImageOfMoreThan4GiBRoundTrips)
{
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "far too slow under a sanitizer";
#endif
    CTempDir dir;
    CZLIBIO zlib;
    ASSERT_TRUE(zlib.IsLoaded());
    std::vector<uint8_t> block(MIB);
    {
        uint32_t nError = 0;
        auto pFile = GetPlatformDevices().Open(dir.File("large.gmz"), EOpenMode::CreateImageAlways, nError);
        ASSERT_TRUE(pFile) << nError;
        CParallelDeflate parallel;
        ASSERT_TRUE(parallel.Init(*pFile, zlib.EntryPoints(), 2).bOk);
        for (uint64_t nPos = 0, i = 0; nPos < IMAGE_SIZE; nPos += MIB, ++i) {
            FillBlock(i, block);
            const auto nCount = static_cast<uint32_t>(std::min<uint64_t>(MIB, IMAGE_SIZE - nPos));
            ASSERT_TRUE(parallel.WriteCompressFile(block.data(), nCount).bOk);
        }
        ASSERT_TRUE(parallel.CommitWrite().bOk);
    }
    EXPECT_EQ(TrailerLength(ReadWholeFile(dir.File("large.gmz"))), static_cast<uint32_t>(IMAGE_SIZE));

    // The image reader checks the CRC-32 and the length at the end.
    CImageFileReader reader;
    ASSERT_TRUE(reader.Open(GetPlatformDevices(), dir.File("large.gmz"), true));
    std::vector<uint8_t> expected(MIB);
    const std::atomic<bool> bAbort{false};
    uint64_t nTotal = 0;
    for (uint32_t nGot = MIB, i = 0; nGot == MIB; ++i) {
        ASSERT_TRUE(reader.ReadBlock(block.data(), MIB, nGot, bAbort)) << nTotal;
        FillBlock(i, expected);
        ASSERT_EQ(std::memcmp(block.data(), expected.data(), nGot), 0) << "block " << i;
        nTotal += nGot;
        ASSERT_LE(nTotal, IMAGE_SIZE);
    }
    EXPECT_EQ(nTotal, IMAGE_SIZE);
}

}  // namespace
