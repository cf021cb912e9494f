// An image longer than 4 GiB, written as one stream and on two threads: the
// gzip trailer keeps only the low 32 bits of the length, and nothing may
// depend on them (nor on zlib's own counters, 32-bit on Windows); the
// chunks' CRC-32 values are joined across the 4 GiB mark.
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

// Others look at the threads; ThreadSanitizer would make 8 GiB of data
// several times slower.
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
    if (UnderThreadSanitizer()) GTEST_SKIP() << "slow under ThreadSanitizer";
    CTempDir dir;
    CZLIBIO zlib;
    ASSERT_TRUE(zlib.IsLoaded());
    CParallelDeflate parallel;
    std::vector<uint8_t> block(MIB);
    for (bool bParallel : {false, true}) {
        SCOPED_TRACE(bParallel ? "2 threads" : "one stream");
        uint32_t nError = 0;
        {
            auto pFile = GetPlatformDevices().Open(dir.File("large.gmz"), EOpenMode::CreateImageAlways, nError);
            ASSERT_TRUE(pFile) << nError;
            auto write = [&](const void* p, uint32_t n) {
                return bParallel ? parallel.WriteCompressFile(p, n) : zlib.WriteCompressFile(p, n);
            };
            ASSERT_TRUE((bParallel ? parallel.Init(*pFile, zlib.EntryPoints(), 2) : zlib.InitWrite(*pFile)).bOk);
            for (uint64_t nPos = 0, i = 0; nPos < IMAGE_SIZE; nPos += MIB, ++i) {
                FillBlock(i, block);
                ASSERT_TRUE(write(block.data(), static_cast<uint32_t>(std::min<uint64_t>(MIB, IMAGE_SIZE - nPos))).bOk);
            }
            ASSERT_TRUE((bParallel ? parallel.CommitWrite() : zlib.CommitWrite()).bOk);
            parallel.Release();
            zlib.Release();
        }
        const std::vector<uint8_t> image = ReadWholeFile(dir.File("large.gmz"));
        EXPECT_EQ(TrailerLength(image), static_cast<uint32_t>(IMAGE_SIZE));

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
}
