// The platform's device adapter on regular files standing in for images and
// drives: open modes, transfers at offsets, lengths and error codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/core/system_error.h"
#include "tests/engine/test_helpers.h"

TEST_F(PlatformDeviceTest, CreateNewNeverReplacesAFileAndCreateAlwaysTruncatesIt)
{
    const std::string strImage = m_dir.File("image.gmi");
    const std::vector<uint8_t> data = Pattern(0x100000 + 100, 1);
    {
        std::unique_ptr<IDevice> pImage = Open(strImage, EOpenMode::CreateImageNew);
        ASSERT_NE(pImage, nullptr) << m_nError;
        const T_IO_RESULT res = pImage->WriteAt(0, data.data(), static_cast<uint32_t>(data.size()));
        ASSERT_TRUE(res.bOk && res.nCount == data.size()) << res.nError;
        uint32_t nError = 0;
        EXPECT_TRUE(pImage->Flush(nError)) << nError;
        uint8_t byte = 0;
        const T_IO_RESULT read = pImage->ReadAt(0, &byte, 1);  // an image being written is write-only
        EXPECT_TRUE(!read.bOk && read.nError != 0);
    }
    EXPECT_EQ(Open(strImage, EOpenMode::CreateImageNew), nullptr);
    EXPECT_EQ(m_nError, SystemError::FileExists());
    EXPECT_EQ(ReadWholeFile(strImage), data);
    ASSERT_NE(Open(strImage, EOpenMode::CreateImageAlways), nullptr) << m_nError;
    EXPECT_TRUE(ReadWholeFile(strImage).empty());
}

TEST_F(PlatformDeviceTest, EachReadingOrWritingModeOnAMissingOrAnExistingFile)
{
    // Missing: the system's "not found" (ENOENT and ERROR_FILE_NOT_FOUND are
    // both 2), and nothing is created. Existing: the length is the file's
    // size, though not a sector multiple; reads work at any offset up to the
    // end (0 bytes there, no error, nor 4 GiB on with the offset's high half
    // lost); only the writing modes write, anywhere and without truncating.
    constexpr uint32_t NOT_FOUND = 2;
    const struct { EOpenMode eMode; bool bWrites; } modes[] = {
        {EOpenMode::ReadDrive, false}, {EOpenMode::ReadDriveShared, false}, {EOpenMode::WriteDrive, true},
        {EOpenMode::WriteDriveShared, true}, {EOpenMode::Volume, false}, {EOpenMode::ProbeDrive, false},
        {EOpenMode::ReadImage, false}};
    const struct { uint64_t nOffset; uint32_t nGot; } reads[] = {
        {4001, 4096}, {99990, 10}, {100000, 0}, {0x500000, 0}, {(uint64_t{1} << 32) + 10, 0}};
    const std::string strFile = m_dir.File("drive.bin");
    const std::vector<uint8_t> patch = Pattern(1000, 2);
    for (const auto& m : modes) {
        SCOPED_TRACE(static_cast<int>(m.eMode));
        EXPECT_EQ(Open(m_dir.File("missing"), m.eMode), nullptr);
        EXPECT_EQ(m_nError, NOT_FOUND);
        EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "missing"));

        std::vector<uint8_t> data = Pattern(100000, 3);
        WriteWholeFile(strFile, data);
        std::unique_ptr<IDevice> pDevice = Open(strFile, m.eMode);
        ASSERT_NE(pDevice, nullptr) << m_nError;
        uint64_t nSize = 0;
        uint32_t nError = 0;
        EXPECT_TRUE(GetDiskSize(*pDevice, nSize, nError) && nSize == data.size()) << nError;
        for (const auto& r : reads) {
            std::vector<uint8_t> buffer(4096);
            const T_IO_RESULT res = pDevice->ReadAt(r.nOffset, buffer.data(), 4096);
            ASSERT_TRUE(res.bOk && res.nCount == r.nGot) << r.nOffset << ": " << res.nCount << ", " << res.nError;
            const auto itData = data.begin() + static_cast<ptrdiff_t>(std::min<uint64_t>(r.nOffset, data.size()));
            EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + r.nGot, itData));
        }
        const T_IO_RESULT res = pDevice->WriteAt(5001, patch.data(), 1000);
        EXPECT_TRUE(res.bOk == m.bWrites && (res.nError != 0) == !m.bWrites) << res.nError;
        pDevice.reset();
        if (m.bWrites) std::copy(patch.begin(), patch.end(), data.begin() + 5001);
        EXPECT_EQ(ReadWholeFile(strFile), data);
    }
}
