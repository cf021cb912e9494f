// The Win32 device adapter beyond what every platform shares
// (test_platform_device.cpp): sharing between opens, UTF-8 paths, and
// cancelling a transfer that waits.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "engine/core/system_error.h"
#include "engine/device/win32/win32_transfers.h"
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

TEST_F(Win32DeviceTest, DeviceNamesAreNeverTakenForFiles)
{
    // NUL, CON and COM1 open as devices in any folder; a drive or an image
    // must see them for what they are, asked of the handle.
    std::unique_ptr<IDevice> pNul = Open("NUL", EOpenMode::ReadDrive);
    ASSERT_NE(pNul, nullptr) << m_nError;
    EXPECT_EQ(pNul->GetKind(), EDeviceKind::CharacterDevice);
    std::unique_ptr<IDevice> pNulImage = Open(m_dir.File("NUL"), EOpenMode::CreateImageNew);
    if (pNulImage) {
        EXPECT_NE(pNulImage->GetKind(), EDeviceKind::RegularFile);
    }

    WriteWholeFile(m_dir.File("image.gmi"), Pattern(100, 1));
    std::unique_ptr<IDevice> pSame = Open(m_dir.File("image.gmi"), EOpenMode::ReadDriveShared);
    ASSERT_NE(pSame, nullptr) << m_nError;
    std::unique_ptr<IDevice> pFile = Open(m_dir.File("image.gmi"), EOpenMode::ReplaceImage);
    ASSERT_NE(pFile, nullptr) << m_nError;
    EXPECT_EQ(pFile->GetKind(), EDeviceKind::RegularFile);
    EXPECT_TRUE(IsStoredOn(pFile->GetStorage(), pSame->GetStorage()));
    // A neighbour in the same folder does not touch a file used as a drive.
    WriteWholeFile(m_dir.File("other.gmi"), Pattern(10, 2));
    std::unique_ptr<IDevice> pOther = Open(m_dir.File("other.gmi"), EOpenMode::ReplaceImage);
    ASSERT_NE(pOther, nullptr) << m_nError;
    EXPECT_FALSE(IsStoredOn(pOther->GetStorage(), pSame->GetStorage()));
    pOther.reset();
    uint32_t nError = 0;
    ASSERT_TRUE(pFile->SetLength(10, nError)) << nError;
    pFile.reset();
    pSame.reset();
    EXPECT_EQ(ReadWholeFile(m_dir.File("image.gmi")).size(), 10u);
    ASSERT_TRUE(GetPlatformDevices().RemoveFile(m_dir.File("image.gmi"), nError)) << nError;
    EXPECT_EQ(::GetFileAttributesW((m_dir.Path() / L"image.gmi").wstring().c_str()), INVALID_FILE_ATTRIBUTES);
}

// A read of a pipe nobody writes waits like a drive that stopped
// answering; only a transfer that has waited long enough is cancelled.
TEST(Win32Transfers, AWaitingTransferIsCancelledOnItsThread)
{
    const HANDLE hServer = ::CreateNamedPipeW(L"\\\\.\\pipe\\gm-hung-drive", PIPE_ACCESS_OUTBOUND, PIPE_WAIT, 1, 512,
                                              512, 0, nullptr);
    const HANDLE hDrive = ::CreateFileW(L"\\\\.\\pipe\\gm-hung-drive", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                        nullptr);
    ASSERT_NE(hDrive, INVALID_HANDLE_VALUE) << ::GetLastError();
    DWORD dwError = 0;
    std::thread reader([&] {
        const CTransferInFlight transfer(hDrive);
        char buffer[16];
        DWORD nRead = 0;
        if (!::ReadFile(hDrive, buffer, sizeof buffer, &nRead, nullptr)) dwError = ::GetLastError();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(CancelTransfersWaitingSince(60000), 0u);
    const size_t nCancelled = GetPlatformDevices().CancelWaitingTransfers(200);
    DWORD nWritten = 0;
    if (nCancelled == 0) ::WriteFile(hServer, "x", 1, &nWritten, nullptr);  // never leave the reader waiting
    reader.join();
    EXPECT_EQ(nCancelled, 1u);
    EXPECT_EQ(dwError, SystemError::Cancelled());
    ::CloseHandle(hDrive);
    ::CloseHandle(hServer);
}

}  // namespace
