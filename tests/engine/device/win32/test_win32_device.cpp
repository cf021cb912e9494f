// The Win32 device adapter beyond what every platform shares
// (test_platform_device.cpp): sharing between opens, and UTF-8 paths.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/engine/test_helpers.h"

namespace {

using Win32DeviceTest = PlatformDeviceTest;

TEST_F(Win32DeviceTest, ExclusiveAndSharedOpensOfOneDrive)
{
    const struct { EOpenMode eFirst, eSecond; bool bShared; } cases[] = {
        {EOpenMode::WriteDrive, EOpenMode::ReadDrive, false},
        {EOpenMode::WriteDrive, EOpenMode::ReadDriveShared, false},
        {EOpenMode::WriteDrive, EOpenMode::WriteDriveShared, false},
        {EOpenMode::ReadDrive, EOpenMode::WriteDriveShared, false},  // a plain drive read lets nobody write
        {EOpenMode::ReadDrive, EOpenMode::ReadImage, true},
        {EOpenMode::ReadDriveShared, EOpenMode::WriteDriveShared, true},
    };
    const std::string strDrive = m_dir.File("drive.img");
    WriteWholeFile(strDrive, Pattern(4096, 1));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.eFirst) << " then " << static_cast<int>(c.eSecond));
        std::unique_ptr<IDevice> pFirst = Open(strDrive, c.eFirst);
        ASSERT_NE(pFirst, nullptr) << m_nError;
        EXPECT_EQ(Open(strDrive, c.eSecond) != nullptr, c.bShared);
        EXPECT_EQ(m_nError, c.bShared ? 0u : static_cast<uint32_t>(ERROR_SHARING_VIOLATION));
    }
}

TEST_F(Win32DeviceTest, PathsAreUtf8)
{
    // Joined by hand: a narrow std::filesystem path is read in the ANSI code
    // page on Windows, not as UTF-8.
    const std::string strImage = m_dir.Path().string() + "\\\xE3\x83\x87\xE3\x82\xA3\xE3\x82\xB9\xE3\x82\xAF.gmi";
    ASSERT_NE(Open(strImage, EOpenMode::CreateImageNew), nullptr) << m_nError;
    const std::wstring strWide = (m_dir.Path() / L"\u30C7\u30A3\u30B9\u30AF.gmi").wstring();
    EXPECT_NE(::GetFileAttributesW(strWide.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the file must carry the Japanese name, not its bytes read as ANSI";
}

}  // namespace
