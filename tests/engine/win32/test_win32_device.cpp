// The Win32 device adapter on temporary files standing in for drives and
// images: open modes, transfers at offsets, lengths and error codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/device/device.h"
#include "engine/system_error.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> Pattern(size_t nSize, uint8_t nSeed)
{
    std::vector<uint8_t> data(nSize);
    for (size_t i = 0; i < nSize; ++i) data[i] = static_cast<uint8_t>(nSeed + i * 7);
    return data;
}

std::unique_ptr<IDevice> OpenOrFail(const std::string& strPath, EOpenMode eMode)
{
    uint32_t nError = 0;
    auto device = GetPlatformDevices().Open(strPath, eMode, nError);
    EXPECT_NE(device, nullptr) << strPath << ": error " << nError;
    return device;
}

class Win32DeviceTest : public ::testing::Test {
protected:
    CTempDir m_dir;
};

TEST_F(Win32DeviceTest, CreateNewRefusesAnExistingFileWithTheFileExistsCode)
{
    const std::string strImage = m_dir.File("image.gmi");
    WriteWholeFile(strImage, Pattern(100, 1));

    uint32_t nError = 0;
    EXPECT_EQ(GetPlatformDevices().Open(strImage, EOpenMode::CreateImageNew, nError), nullptr);
    EXPECT_EQ(nError, SystemError::FileExists());
    EXPECT_EQ(nError, static_cast<uint32_t>(ERROR_FILE_EXISTS));
    EXPECT_EQ(ReadWholeFile(strImage), Pattern(100, 1)) << "the refused open must leave the file alone";
}

TEST_F(Win32DeviceTest, CreateNewMakesAFileThatDidNotExist)
{
    const std::string strImage = m_dir.File("new.gmi");
    {
        auto device = OpenOrFail(strImage, EOpenMode::CreateImageNew);
        ASSERT_NE(device, nullptr);
        const auto data = Pattern(300, 2);
        const T_IO_RESULT result = device->WriteAt(0, data.data(), 300);
        EXPECT_TRUE(result.bOk);
        EXPECT_EQ(result.nCount, 300u);
        uint32_t nError = 0;
        EXPECT_TRUE(device->Flush(nError)) << nError;
    }
    EXPECT_EQ(ReadWholeFile(strImage), Pattern(300, 2));
}

TEST_F(Win32DeviceTest, CreateAlwaysReplacesTheOldContents)
{
    const std::string strImage = m_dir.File("image.gmi");
    WriteWholeFile(strImage, Pattern(5000, 3));
    {
        auto device = OpenOrFail(strImage, EOpenMode::CreateImageAlways);
        ASSERT_NE(device, nullptr);
        uint64_t nLength = 99;
        uint32_t nError = 0;
        ASSERT_TRUE(device->GetLengthInfo(nLength, nError));
        EXPECT_EQ(nLength, 0u) << "the old file must be truncated at once";
        const auto data = Pattern(10, 4);
        EXPECT_TRUE(device->WriteAt(0, data.data(), 10).bOk);
    }
    EXPECT_EQ(ReadWholeFile(strImage), Pattern(10, 4));
}

TEST_F(Win32DeviceTest, WritesAndReadsAtOffsetsInAnyOrder)
{
    const std::string strDrive = m_dir.File("drive.img");
    WriteWholeFile(strDrive, std::vector<uint8_t>(3 * 4096, 0));
    const auto first = Pattern(4096, 10);
    const auto third = Pattern(4096, 30);
    {
        auto device = OpenOrFail(strDrive, EOpenMode::WriteDrive);
        ASSERT_NE(device, nullptr);
        // Out of order, so a forgotten seek would put the data elsewhere.
        EXPECT_EQ(device->WriteAt(2 * 4096, third.data(), 4096).nCount, 4096u);
        EXPECT_EQ(device->WriteAt(0, first.data(), 4096).nCount, 4096u);

        std::vector<uint8_t> back(4096);
        T_IO_RESULT result = device->ReadAt(2 * 4096, back.data(), 4096);
        EXPECT_TRUE(result.bOk);
        EXPECT_EQ(result.nCount, 4096u);
        EXPECT_EQ(back, third);
        result = device->ReadAt(4096, back.data(), 4096);
        EXPECT_EQ(back, std::vector<uint8_t>(4096, 0));
        result = device->ReadAt(0, back.data(), 4096);
        EXPECT_EQ(back, first);
    }
    std::vector<uint8_t> expected(3 * 4096, 0);
    std::memcpy(expected.data(), first.data(), 4096);
    std::memcpy(expected.data() + 2 * 4096, third.data(), 4096);
    EXPECT_EQ(ReadWholeFile(strDrive), expected);
}

TEST_F(Win32DeviceTest, OffsetsBeyondFourGigabytesAreNotTruncated)
{
    // Were the high half of the offset lost, the read would land at byte 10
    // of the file and find data; at 4 GiB + 10 there is none.
    const std::string strDrive = m_dir.File("small.img");
    WriteWholeFile(strDrive, Pattern(1000, 12));
    auto device = OpenOrFail(strDrive, EOpenMode::ReadDrive);
    ASSERT_NE(device, nullptr);
    std::vector<uint8_t> back(100);
    const T_IO_RESULT result = device->ReadAt((uint64_t{1} << 32) + 10, back.data(), 100);
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(result.nCount, 0u);
}

TEST_F(Win32DeviceTest, AFileStandingInForADriveHasItsFileSizeAsLength)
{
    // 1000 bytes: not a sector multiple, so the file must be opened buffered.
    const std::string strDrive = m_dir.File("odd.img");
    WriteWholeFile(strDrive, Pattern(1000, 5));
    for (EOpenMode eMode : {EOpenMode::ReadDrive, EOpenMode::ReadDriveShared, EOpenMode::WriteDrive,
                            EOpenMode::ReadImage, EOpenMode::Volume, EOpenMode::ProbeDrive}) {
        auto device = OpenOrFail(strDrive, eMode);
        ASSERT_NE(device, nullptr);
        uint64_t nSize = 0;
        uint32_t nError = 0;
        EXPECT_TRUE(GetDiskSize(*device, nSize, nError)) << nError;
        EXPECT_EQ(nSize, 1000u);
    }
}

TEST_F(Win32DeviceTest, AShortFileReadAtItsEndGivesFewerBytesThenNone)
{
    const std::string strDrive = m_dir.File("short.img");
    WriteWholeFile(strDrive, Pattern(4096 + 100, 6));
    auto device = OpenOrFail(strDrive, EOpenMode::ReadDrive);
    ASSERT_NE(device, nullptr);

    std::vector<uint8_t> block(4096, 0xEE);
    T_IO_RESULT result = device->ReadAt(4096, block.data(), 4096);
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(result.nCount, 100u);
    const auto whole = Pattern(4096 + 100, 6);
    EXPECT_TRUE(std::equal(block.begin(), block.begin() + 100, whole.begin() + 4096));

    result = device->ReadAt(4096 + 100, block.data(), 4096);
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(result.nCount, 0u);
    result = device->ReadAt(1 << 20, block.data(), 4096);
    EXPECT_TRUE(result.bOk);
    EXPECT_EQ(result.nCount, 0u);
}

TEST_F(Win32DeviceTest, AMissingPathReportsFileNotFound)
{
    uint32_t nError = 0;
    EXPECT_EQ(GetPlatformDevices().Open(m_dir.File("absent.img"), EOpenMode::ReadDrive, nError), nullptr);
    EXPECT_EQ(nError, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(GetSystemErrorText(nError).empty());
}

TEST_F(Win32DeviceTest, AnExclusiveWriteOpenShutsOutEveryOtherOpen)
{
    const std::string strDrive = m_dir.File("drive.img");
    WriteWholeFile(strDrive, Pattern(4096, 7));
    auto writer = OpenOrFail(strDrive, EOpenMode::WriteDrive);
    ASSERT_NE(writer, nullptr);
    for (EOpenMode eMode : {EOpenMode::ReadDrive, EOpenMode::ReadDriveShared, EOpenMode::WriteDriveShared}) {
        uint32_t nError = 0;
        EXPECT_EQ(GetPlatformDevices().Open(strDrive, eMode, nError), nullptr);
        EXPECT_EQ(nError, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
    }
}

TEST_F(Win32DeviceTest, ReadersShareButKeepWritersOutUnlessSharingIsAsked)
{
    const std::string strDrive = m_dir.File("drive.img");
    WriteWholeFile(strDrive, Pattern(4096, 8));
    auto reader = OpenOrFail(strDrive, EOpenMode::ReadDrive);
    ASSERT_NE(reader, nullptr);
    auto secondReader = OpenOrFail(strDrive, EOpenMode::ReadImage);
    EXPECT_NE(secondReader, nullptr);

    uint32_t nError = 0;
    EXPECT_EQ(GetPlatformDevices().Open(strDrive, EOpenMode::WriteDriveShared, nError), nullptr)
        << "a plain drive read lets nobody write";
    EXPECT_EQ(nError, static_cast<uint32_t>(ERROR_SHARING_VIOLATION));

    reader.reset();
    secondReader.reset();
    auto sharedReader = OpenOrFail(strDrive, EOpenMode::ReadDriveShared);
    ASSERT_NE(sharedReader, nullptr);
    auto sharedWriter = OpenOrFail(strDrive, EOpenMode::WriteDriveShared);
    ASSERT_NE(sharedWriter, nullptr);
    const auto data = Pattern(512, 9);
    ASSERT_TRUE(sharedWriter->WriteAt(0, data.data(), 512).bOk);
    std::vector<uint8_t> back(512);
    EXPECT_EQ(sharedReader->ReadAt(0, back.data(), 512).nCount, 512u);
    EXPECT_EQ(back, data) << "a shared read sees what a shared writer wrote";
}

TEST_F(Win32DeviceTest, ReadingAWriteOnlyImageFailsWithTheSystemCode)
{
    auto device = OpenOrFail(m_dir.File("out.gmi"), EOpenMode::CreateImageNew);
    ASSERT_NE(device, nullptr);
    uint8_t byte = 0;
    const T_IO_RESULT result = device->ReadAt(0, &byte, 1);
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.nError, static_cast<uint32_t>(ERROR_ACCESS_DENIED));
}

TEST_F(Win32DeviceTest, AFileAnswersNoGeometryRequest)
{
    const std::string strDrive = m_dir.File("drive.img");
    WriteWholeFile(strDrive, Pattern(512, 1));
    auto device = OpenOrFail(strDrive, EOpenMode::ReadDrive);
    ASSERT_NE(device, nullptr);
    T_DISK_GEOMETRY geometry;
    uint32_t nError = 0;
    EXPECT_FALSE(device->GetDriveGeometry(geometry, nError));
    EXPECT_NE(nError, 0u);
}

TEST_F(Win32DeviceTest, PathsAreUtf8)
{
    const std::string strName = "\xE3\x83\x87\xE3\x82\xA3\xE3\x82\xB9\xE3\x82\xAF.gmi";  // "ディスク.gmi"
    // Joined by hand: a narrow std::filesystem path is read in the ANSI
    // code page on Windows, not as UTF-8.
    const std::string strImage = m_dir.Path().string() + "\\" + strName;
    {
        auto device = OpenOrFail(strImage, EOpenMode::CreateImageNew);
        ASSERT_NE(device, nullptr);
        const uint8_t byte = 1;
        EXPECT_TRUE(device->WriteAt(0, &byte, 1).bOk);
    }
    const std::wstring strWide = (m_dir.Path() / L"\u30C7\u30A3\u30B9\u30AF.gmi").wstring();
    EXPECT_NE(::GetFileAttributesW(strWide.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the file must carry the Japanese name, not its bytes read as ANSI";
}

}  // namespace
