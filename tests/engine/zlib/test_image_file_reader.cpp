// The shared image-file reader: raw images with retries and a give-up
// line, compressed images through the inflate stream, and what it refuses
// to open.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"
#include "engine/zlib/image_file_reader.h"
#include "tests/engine/test_helpers.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr uint32_t BLOCK = 0x100000;

class ImageFileReaderTest : public ::testing::Test {
protected:
    // Reads the whole image in 1 MiB blocks; false when the reader gave up.
    bool ReadAll(const std::string& strPath, bool bCompressed, std::vector<uint8_t>& data)
    {
        CImageFileReader reader;
        if (!reader.Open(m_devices, strPath, bCompressed)) return false;
        std::vector<uint8_t> block(BLOCK);
        for (;;) {
            uint32_t nGot = 0;
            if (!reader.ReadBlock(block.data(), BLOCK, nGot, m_bAbort)) return false;
            data.insert(data.end(), block.begin(), block.begin() + nGot);
            if (nGot < BLOCK) break;
        }
        return true;
    }
    std::shared_ptr<CFakeDisk> FakeImage(std::vector<uint8_t> contents)
    {
        auto pImage = std::make_shared<CFakeDisk>(std::move(contents));
        pImage->SetKind(EDeviceKind::RegularFile);
        m_devices.Add("fake:image", pImage);
        return pImage;
    }

    CTempDir m_dir;
    CRecorder m_recorder;
    CLogCapture m_capture{m_recorder};
    CFakeDeviceProvider m_devices;
    std::atomic<bool> m_bAbort{false};
};

TEST_F(ImageFileReaderTest, ARawImageComesInOrderWithAShortLastBlock)
{
    const std::vector<uint8_t> image = Pattern(2 * BLOCK + 777, 3);
    WriteWholeFile(m_dir.File("image.gmi"), image);
    std::vector<uint8_t> data;
    ASSERT_TRUE(ReadAll(m_dir.File("image.gmi"), false, data));
    EXPECT_EQ(data, image);
    EXPECT_TRUE(m_recorder.LogText().empty());
}

TEST_F(ImageFileReaderTest, ARawBlockIsReadElevenTimesThenGivenUp)
{
    auto pImage = FakeImage(Pattern(3 * BLOCK, 1));
    pImage->FailReads(BLOCK + 5, BLOCK + 6, SystemError::IoError());
    std::vector<uint8_t> data;
    EXPECT_FALSE(ReadAll("fake:image", false, data));
    EXPECT_EQ(pImage->ReadsAt(BLOCK), 11u);
    EXPECT_EQ(m_recorder.CountLines("file read error (00100000-001FFFFF).\n" +
                                    GetSystemErrorText(SystemError::IoError()) + "\n"),
              11u);
    EXPECT_EQ(m_recorder.CountLines("file read retry out.\n"), 1u);
    EXPECT_EQ(data.size(), BLOCK);
}

TEST_F(ImageFileReaderTest, ABlockThatReadsOnItsEleventhTryIsDelivered)
{
    const std::vector<uint8_t> image = Pattern(2 * BLOCK, 2);
    auto pImage = FakeImage(image);
    pImage->FailReads(0, 1, SystemError::IoError(), 10);
    std::vector<uint8_t> data;
    ASSERT_TRUE(ReadAll("fake:image", false, data));
    EXPECT_EQ(data, image);
    EXPECT_EQ(m_recorder.LogText().find("retry out"), std::string::npos);
}

TEST_F(ImageFileReaderTest, AStopEndsTheRetriesWithoutAGiveUpLine)
{
    auto pImage = FakeImage(Pattern(BLOCK, 1));
    pImage->FailReads(0, 1, SystemError::IoError());
    m_bAbort = true;
    std::vector<uint8_t> data;
    EXPECT_FALSE(ReadAll("fake:image", false, data));
    EXPECT_EQ(pImage->ReadsAt(0), 0u);
    EXPECT_TRUE(m_recorder.LogText().empty());
}

TEST_F(ImageFileReaderTest, ACompressedImageInflatesToItsDataAndDamageIsAGiveUp)
{
    const std::vector<uint8_t> image = Pattern(3 * BLOCK + 99, 4);
    std::vector<uint8_t> gz;
    {
        auto pFile = FakeImage({});
        pFile->GrowOnWrite();
        CZLIBIO zlib;
        ASSERT_TRUE(zlib.IsLoaded());
        uint32_t nError = 0;
        std::unique_ptr<IDevice> pOut = m_devices.Open("fake:image", EOpenMode::CreateImageNew, nError);
        ASSERT_TRUE(zlib.InitWrite(*pOut).bOk);
        ASSERT_TRUE(zlib.WriteCompressFile(image.data(), static_cast<uint32_t>(image.size())).bOk);
        ASSERT_TRUE(zlib.CommitWrite().bOk);
        zlib.Release();
        gz = pFile->Contents();
    }
    WriteWholeFile(m_dir.File("image.gmz"), gz);
    std::vector<uint8_t> data;
    ASSERT_TRUE(ReadAll(m_dir.File("image.gmz"), true, data));
    EXPECT_EQ(data, image);

    gz.resize(gz.size() / 2);  // cut in the middle of the deflate data
    WriteWholeFile(m_dir.File("cut.gmz"), gz);
    data.clear();
    EXPECT_FALSE(ReadAll(m_dir.File("cut.gmz"), true, data));
    EXPECT_NE(m_recorder.LogText().find("file compress read error ("), std::string::npos);
    EXPECT_NE(m_recorder.LogText().find("cut short"), std::string::npos);
    EXPECT_LT(data.size(), image.size());
}

TEST_F(ImageFileReaderTest, OnlyARegularFileIsOpenedAsAnImage)
{
    std::vector<uint8_t> data;
    EXPECT_FALSE(ReadAll(m_dir.File("missing.gmi"), false, data));
    EXPECT_NE(m_recorder.LogText().find("can't open file " + m_dir.File("missing.gmi") + ".\n"), std::string::npos);
    m_recorder.Clear();
    auto pDisk = FakeImage(Pattern(BLOCK, 1));
    pDisk->SetKind(EDeviceKind::BlockDevice);
    EXPECT_FALSE(ReadAll("fake:image", false, data));
    EXPECT_EQ(m_recorder.CountLines("can't open file fake:image.\nit is a disk device, not a regular file.\n"), 1u);
    EXPECT_EQ(pDisk->ReadsAt(0), 0u);
}

}  // namespace
