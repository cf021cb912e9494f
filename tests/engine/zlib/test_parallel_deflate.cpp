// The parallel deflate: members of every awkward shape that zlib inflates
// to exactly their data, the same bytes whatever the threads and writes, a
// size close to the sequential stream's, and failures as the sequential
// writer has them.
#include "engine/core/system_error.h"
#include "tests/engine/test_helpers.h"
#include "tests/engine/zlib/zlib_test_support.h"

namespace {

constexpr uint32_t CHUNK = CParallelDeflate::CHUNK_SIZE;

struct T_SHAPE {
    const char* pszName;
    std::vector<uint8_t> data;
};

class ParallelDeflateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_zlib.IsLoaded()) << "no zlib library to test with";
        ASSERT_EQ(CParallelDeflate::MissingEntryPoints(m_zlib.EntryPoints()), "");
    }

    CZLIBIO m_zlib;
};

}  // namespace

// Each chunk costs a few dozen bytes (its flush, fresh code tables, matches
// that cannot reach back across its start): a fraction of a per cent of
// data that compress as files do, a few dozen bytes a chunk of data that
// nearly vanish.
TEST_F(ParallelDeflateTest, MembersOfEveryShapeInflateToExactlyTheirData)
{
    const T_SHAPE shapes[] = {
        {"nothing", {}},
        {"1 byte", {0x42}},
        {"one chunk - 1", Prose(CHUNK - 1, 1)},
        {"one chunk + 1", Prose(CHUNK + 1, 1)},
        {"incompressible", RandomBytes(3 * MIB + 5, 7)},
        {"all zeros", std::vector<uint8_t>(8 * MIB)},
        {"prose", Prose(8 * MIB + 3, 1)},
    };
    for (const T_SHAPE& shape : shapes) {
        SCOPED_TRACE(shape.pszName);
        const std::vector<uint8_t> sequential = CompressToMemory(shape.data);
        EXPECT_EQ(TrailerLength(sequential), static_cast<uint32_t>(shape.data.size()));
        const std::vector<uint8_t> image = ParallelCompressToMemory(shape.data, 2);
        ASSERT_GE(image.size(), GZIP_HEADER_SIZE + GZIP_TRAILER_SIZE);
        // The library's own header, and the trailer the sequential stream has.
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + GZIP_HEADER_SIZE, sequential.begin()));
        EXPECT_TRUE(std::equal(image.end() - GZIP_TRAILER_SIZE, image.end(), sequential.end() - GZIP_TRAILER_SIZE));
        const double dSequential = static_cast<double>(sequential.size());
        const double dChunks = static_cast<double>(shape.data.size() / CHUNK + 1);
        EXPECT_LE(static_cast<double>(image.size()), std::max(dSequential * 1.005, dSequential + 64 * dChunks));
        const T_MEMBER member = InflateFirstMember(image);
        EXPECT_EQ(member.nResult, Z_STREAM_END);
        EXPECT_EQ(member.nConsumed, image.size()) << "something follows the first member";
        EXPECT_TRUE(member.data == shape.data);
        EXPECT_TRUE(ReadFromMemory(image).data == shape.data);
        // Chunks are cut from the data alone: neither the threads' timing
        // nor the caller's block sizes change a byte.
        for (const auto& [nWorkers, nBlock] : {std::pair{1u, MIB}, {8u, 4096u}, {3u, 777777u}})
            EXPECT_TRUE(shape.data.size() > 4 * MIB || ParallelCompressToMemory(shape.data, nWorkers, nBlock) == image);
    }
}

TEST_F(ParallelDeflateTest, AFileThatFailsOrFillsUpEndsTheStreamWithItsError)
{
    const std::vector<uint8_t> data = RandomBytes(4 * MIB, 5);
    const std::vector<uint8_t> whole = ParallelCompressToMemory(data, 2);
    const uint64_t nRoom = MIB + MIB / 2;
    for (bool bFull : {false, true}) {
        SCOPED_TRACE(bFull ? "full" : "failing");
        auto pDisk = std::make_shared<CFakeDisk>(std::vector<uint8_t>{});
        pDisk->GrowOnWrite();
        if (bFull) pDisk->FullAt(nRoom, SystemError::DiskFull());
        else pDisk->FailWrites(0, UINT64_MAX, SystemError::IoError());
        T_FAKE_FILE file(pDisk);
        CParallelDeflate deflate;
        const CZLIBIO::T_RESULT result = WriteAll(deflate, deflate.Init(*file.pFile, m_zlib.EntryPoints(), 2), data, MIB);
        EXPECT_EQ(result.nZlibResult, Z_ERRNO);
        EXPECT_EQ(result.nError, bFull ? SystemError::DiskFull() : SystemError::IoError());
        EXPECT_EQ(deflate.CompressedBytes(), bFull ? nRoom : 0u);
        EXPECT_TRUE(std::equal(pDisk->Contents().begin(), pDisk->Contents().end(), whole.begin()));
        EXPECT_FALSE(deflate.WriteCompressFile(data.data(), 1).bOk);  // nothing after a failure
    }
}

// Steps out of order fail; a stream given up half way leaves no thread
// behind, and the object takes a new stream afterwards.
TEST_F(ParallelDeflateTest, StepsOutOfOrderFailAndReleaseInTheMiddleStopsEveryThread)
{
    T_FAKE_FILE file(std::make_shared<CFakeDisk>(std::vector<uint8_t>{}));
    file.pDisk->GrowOnWrite();
    CParallelDeflate deflate;
    const std::vector<uint8_t> data = RandomBytes(4 * MIB, 6);
    EXPECT_EQ(deflate.WriteCompressFile(data.data(), 1).nZlibResult, Z_STREAM_ERROR);  // never started
    EXPECT_EQ(deflate.CommitWrite().nZlibResult, Z_STREAM_ERROR);
    T_ZLIB_ENTRY_POINTS lacking = *m_zlib.EntryPoints();
    lacking.extra.crc32_combine = nullptr;
    EXPECT_EQ(deflate.Init(*file.pFile, &lacking, 2).nZlibResult, Z_VERSION_ERROR);
    for (uint32_t nWorkers : {8u, 3u}) {
        ASSERT_TRUE(deflate.Init(*file.pFile, m_zlib.EntryPoints(), nWorkers).bOk);
        EXPECT_EQ(deflate.WorkerCount(), nWorkers);
        ASSERT_TRUE(deflate.WriteCompressFile(data.data(), static_cast<uint32_t>(data.size())).bOk);
        if (nWorkers == 8) {
            auto released = Async([&] { deflate.Release(); });
            ASSERT_TRUE(Finishes(released));
            EXPECT_EQ(deflate.WorkerCount(), 0u);
        }
    }
    ASSERT_TRUE(deflate.CommitWrite().bOk);
    EXPECT_FALSE(deflate.CommitWrite().bOk);  // once only
    EXPECT_TRUE(InflateFirstMember(file.pDisk->Contents()).data == data);
}
