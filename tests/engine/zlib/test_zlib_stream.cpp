// The sequential stream: the block lengths a reader sees, and failing
// files: every fault comes back as a failure with its cause, never as a
// shorter image and never as a reader or writer that spins; steps out of
// order fail and leave the image whole. Images of every shape:
// test_parallel_deflate.cpp; damaged images: test_gzip_members.cpp.
#include "engine/core/system_error.h"
#include "tests/engine/zlib/zlib_test_support.h"

namespace {

class ZlibFaultTest : public ::testing::Test {
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

}  // namespace

TEST_F(ZlibFaultTest, TheReaderGivesFullBlocksThenTheRestThenOnlyNothing)
{
    EXPECT_EQ(ReadFromMemory(CompressToMemory(TextLike(2 * MIB + MIB / 2))).lengths,
              (std::vector<uint32_t>{MIB, MIB, MIB / 2, 0}));
    T_FAKE_FILE file(std::make_shared<CFakeDisk>(CompressToMemory(TextLike(2 * MIB))));
    CZLIBIO zlib;
    ASSERT_TRUE(zlib.InitRead(*file.pFile).bOk);
    std::vector<uint8_t> block(3 * MIB);
    uint32_t nProduced = 0;
    ASSERT_TRUE(zlib.ReadCompressFile(block.data(), 3 * MIB, nProduced).bOk);
    EXPECT_EQ(nProduced, 2 * MIB);
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(zlib.ReadCompressFile(block.data(), MIB, nProduced).bOk);
        EXPECT_EQ(nProduced, 0u);
    }
}

TEST_F(ZlibFaultTest, FailingFileReadIsAReadFailureWithItsCode)
{
    auto pDisk = std::make_shared<CFakeDisk>(m_image);
    pDisk->FailReads(MIB + 10, MIB + 11, SystemError::IoError());
    T_FAKE_FILE file(pDisk);
    CZLIBIO zlib;
    ASSERT_TRUE(zlib.InitRead(*file.pFile).bOk);
    std::vector<uint8_t> block(MIB);
    uint32_t nProduced = 0;
    CZLIBIO::T_RESULT result;
    for (int i = 0; i < 10 && (result = zlib.ReadCompressFile(block.data(), MIB, nProduced)).bOk; ++i) {}
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.nZlibResult, Z_ERRNO);
    EXPECT_EQ(result.nError, SystemError::IoError());
    EXPECT_EQ(pDisk->ReadsAt(MIB), 1u);  // the second buffer's read, tried once
    // The stream stays failed.
    EXPECT_FALSE(zlib.ReadCompressFile(block.data(), MIB, nProduced).bOk);
    EXPECT_EQ(nProduced, 0u);
}

TEST_F(ZlibFaultTest, FailingFileWriteIsAWriteFailureWithItsCode)
{
    const uint32_t nCode = SystemError::IoError();
    // A large block fills the output buffer at once; a small one only at
    // the commit.
    for (const std::vector<uint8_t>& data : {m_data, TextLike(1000)}) {
        SCOPED_TRACE(data.size());
        auto pDisk = std::make_shared<CFakeDisk>(std::vector<uint8_t>(8 * MIB));
        pDisk->FailWrites(0, 8 * MIB, nCode);
        T_FAKE_FILE file(pDisk);
        CZLIBIO zlib;
        const CZLIBIO::T_RESULT result = WriteImage(zlib, *file.pFile, data);
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(result.nZlibResult, Z_ERRNO);
        EXPECT_EQ(result.nError, nCode);
        EXPECT_EQ(zlib.CompressedBytes(), 0u);
    }
}

// A file that takes only part of a write is given the rest; when it takes
// nothing more the write fails instead of being tried for ever.
TEST_F(ZlibFaultTest, FileThatFillsUpFailsAfterStoringWhatFits)
{
    const uint64_t nRoom = MIB + MIB / 2;
    T_FAKE_FILE file(std::make_shared<CFakeDisk>(std::vector<uint8_t>(nRoom)));
    CZLIBIO zlib;
    const CZLIBIO::T_RESULT result = WriteImage(zlib, *file.pFile, m_data);
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.nZlibResult, Z_ERRNO);
    EXPECT_EQ(result.nError, SystemError::IoError());
    EXPECT_EQ(zlib.CompressedBytes(), nRoom);
    EXPECT_TRUE(std::equal(file.pDisk->Contents().begin(), file.pDisk->Contents().end(), m_image.begin()));
}

TEST_F(ZlibFaultTest, ShortWriteIsCompletedWithTheRest)
{
    auto pDisk = std::make_shared<CFakeDisk>(std::vector<uint8_t>(m_image.size()));
    pDisk->ShortWrites(0, 1);  // the first write stores only half of its buffer
    T_FAKE_FILE file(pDisk);
    CZLIBIO zlib;
    ASSERT_TRUE(WriteImage(zlib, *file.pFile, m_data).bOk);
    EXPECT_EQ(zlib.CompressedBytes(), m_image.size());
    EXPECT_TRUE(pDisk->Contents() == m_image);
}

TEST_F(ZlibFaultTest, StepsOutOfOrderFailAndLeaveTheImageWhole)
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
    ASSERT_TRUE(zlib.WriteCompressFile(block, sizeof block).bOk);
    ASSERT_TRUE(zlib.CommitWrite().bOk);
    const uint64_t nWritten = zlib.CompressedBytes();
    EXPECT_FALSE(zlib.CommitWrite().bOk);  // once only
    EXPECT_FALSE(zlib.WriteCompressFile(block, sizeof block).bOk);  // nothing after the end
    EXPECT_EQ(zlib.CompressedBytes(), nWritten);
    zlib.Release();
    const auto& contents = file.pDisk->Contents();
    const std::vector<uint8_t> image(contents.begin(), contents.begin() + static_cast<ptrdiff_t>(nWritten));
    EXPECT_TRUE(ReadFromMemory(image).data == std::vector<uint8_t>(sizeof block));
}
