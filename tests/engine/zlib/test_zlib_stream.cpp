// The sequential stream: the block lengths a reader sees, and failing
// files: every fault comes back as a failure with its cause, never as a
// shorter image and never as a reader or writer that spins; steps out of
// order fail and leave the image whole. Images of every shape:
// test_parallel_deflate.cpp; damaged images: test_gzip_members.cpp.
#include "engine/core/system_error.h"
#include "tests/engine/zlib/zlib_test_support.h"

namespace {

class ZlibStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CZLIBIO().IsLoaded()) << "no zlib library to test with";
        m_image = CompressToMemory(m_data);
        ASSERT_GT(m_image.size(), 2 * MIB);  // the image spans several input buffers
    }

    const std::vector<uint8_t> m_data = RandomBytes(3 * MIB + 99, 5);
    std::vector<uint8_t> m_image;
};

// Full blocks, then the rest, then only blocks of nothing; a read that
// fails is the second buffer's, tried once, and the stream stays failed.
TEST_F(ZlibStreamTest, TheReaderGivesFullBlocksThenTheRestThenNothingOrItsFailure)
{
    EXPECT_EQ(ReadFromMemory(CompressToMemory(Prose(2 * MIB + MIB / 2, 1))).lengths,
              (std::vector<uint32_t>{MIB, MIB, MIB / 2, 0}));
    EXPECT_EQ(ReadFromMemory(CompressToMemory(Prose(2 * MIB, 1)), 3 * MIB).lengths,
              (std::vector<uint32_t>{2 * MIB, 0}));
    auto pDisk = std::make_shared<CFakeDisk>(m_image);
    pDisk->FailReads(MIB + 10, MIB + 11, SystemError::IoError());
    T_FAKE_FILE file(pDisk);
    CZLIBIO zlib;
    const T_READ_BACK back = ReadImage(zlib, *file.pFile);
    EXPECT_EQ(back.result.nZlibResult, Z_ERRNO);
    EXPECT_EQ(back.result.nError, SystemError::IoError());
    EXPECT_EQ(pDisk->ReadsAt(MIB), 1u);
    ASSERT_TRUE(zlib.InitRead(*file.pFile).bOk);
    std::vector<uint8_t> block(MIB);
    uint32_t nProduced = 0;
    for (int i = 0; i < 3 && zlib.ReadCompressFile(block.data(), MIB, nProduced).bOk; ++i) {}
    EXPECT_FALSE(zlib.ReadCompressFile(block.data(), MIB, nProduced).bOk);
    EXPECT_EQ(nProduced, 0u);
}

// A large block fills the output buffer at once, a small one only at the
// commit; a file that takes part of a write is given the rest, and one that
// takes nothing more fails the write instead of being tried for ever.
TEST_F(ZlibStreamTest, AFailingOrFullFileFailsTheWriteAfterWhatFitAndAShortWriteIsCompleted)
{
    const uint64_t nRoom = MIB + MIB / 2;
    const struct { std::vector<uint8_t> data; uint64_t nFile; bool bFail; uint64_t nStored; } cases[] = {
        {m_data, 8 * MIB, true, 0}, {Prose(1000, 1), 8 * MIB, true, 0}, {m_data, nRoom, false, nRoom}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nStored + c.data.size());
        T_FAKE_FILE file(std::make_shared<CFakeDisk>(std::vector<uint8_t>(c.nFile)));
        if (c.bFail) file.pDisk->FailWrites(0, c.nFile, SystemError::IoError());
        CZLIBIO zlib;
        const CZLIBIO::T_RESULT result = WriteImage(zlib, *file.pFile, c.data);
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(result.nZlibResult, Z_ERRNO);
        EXPECT_EQ(result.nError, SystemError::IoError());
        EXPECT_EQ(zlib.CompressedBytes(), c.nStored);
        EXPECT_TRUE(c.bFail || std::equal(file.pDisk->Contents().begin(), file.pDisk->Contents().end(), m_image.begin()));
    }
    auto pDisk = std::make_shared<CFakeDisk>(std::vector<uint8_t>(m_image.size()));
    pDisk->ShortWrites(0, 1);  // the first write stores only half of its buffer
    T_FAKE_FILE file(pDisk);
    CZLIBIO zlib;
    ASSERT_TRUE(WriteImage(zlib, *file.pFile, m_data).bOk);
    EXPECT_EQ(zlib.CompressedBytes(), m_image.size());
    EXPECT_TRUE(pDisk->Contents() == m_image);
}

TEST_F(ZlibStreamTest, StepsOutOfOrderFailAndLeaveTheImageWhole)
{
    T_FAKE_FILE file(std::make_shared<CFakeDisk>(std::vector<uint8_t>(MIB)));
    CZLIBIO zlib;
    uint8_t block[64] = {};
    uint32_t nProduced = 0;
    EXPECT_EQ(zlib.WriteCompressFile(block, sizeof block).nZlibResult, Z_STREAM_ERROR);  // never started
    EXPECT_EQ(zlib.CommitWrite().nZlibResult, Z_STREAM_ERROR);
    EXPECT_EQ(zlib.ReadCompressFile(block, sizeof block, nProduced).nZlibResult, Z_STREAM_ERROR);
    ASSERT_TRUE(zlib.InitWrite(*file.pFile).bOk);
    EXPECT_FALSE(zlib.ReadCompressFile(block, sizeof block, nProduced).bOk);  // a stream being written
    ASSERT_TRUE(zlib.InitWrite(*file.pFile).bOk);  // starts over
    ASSERT_TRUE(zlib.WriteCompressFile(block, sizeof block).bOk && zlib.CommitWrite().bOk);
    const uint64_t nWritten = zlib.CompressedBytes();
    EXPECT_FALSE(zlib.CommitWrite().bOk);  // once only
    EXPECT_FALSE(zlib.WriteCompressFile(block, sizeof block).bOk);  // nothing after the end
    EXPECT_EQ(zlib.CompressedBytes(), nWritten);
    zlib.Release();
    EXPECT_TRUE(ReadFromMemory(Head(file.pDisk->Contents(), nWritten)).data == std::vector<uint8_t>(sizeof block));
}

}  // namespace
