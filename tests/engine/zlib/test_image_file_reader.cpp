// The shared image-file reader: what it refuses to open. Its retries, its
// give-up line and a stop during them: the engine matrix; compressed
// images: test_gzip_members.cpp.
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
    bool ReadAll(const std::string& strPath, EImageFormat eFormat, std::vector<uint8_t>& data)
    {
        CImageFileReader reader;
        if (!reader.Open(m_devices, strPath, eFormat)) return false;
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

TEST_F(ImageFileReaderTest, OnlyARegularFileIsOpenedAsAnImage)
{
    std::vector<uint8_t> data;
    EXPECT_FALSE(ReadAll(m_dir.File("missing.gmi"), EImageFormat::Raw, data));
    EXPECT_NE(m_recorder.LogText().find("can't open file " + m_dir.File("missing.gmi") + ".\n"), std::string::npos);
    m_recorder.Clear();
    auto pDisk = FakeImage(Pattern(BLOCK, 1));
    pDisk->SetKind(EDeviceKind::BlockDevice);
    EXPECT_FALSE(ReadAll("fake:image", EImageFormat::Raw, data));
    EXPECT_EQ(m_recorder.CountLines("can't open file fake:image.\nit is a disk device, not a regular file.\n"), 1u);
    EXPECT_EQ(pDisk->ReadsAt(0), 0u);
}

}  // namespace
