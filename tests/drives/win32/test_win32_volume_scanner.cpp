// The Windows volume scanner on the system it runs on (Wine here): the
// inventory refreshes without failing and takes what the system answers,
// and the drive paths are the system's own names. What the machine's
// drives are is not asserted; the records found are written to the test's
// output.
#include <gtest/gtest.h>

#include <cstdio>

#include "drives/drive_info.h"
#include "drives/drive_kind.h"
#include "drives/win32/win32_volume_scanner.h"

namespace {

TEST(Win32VolumeScannerTest, TheInventoryTakesWhatTheSystemAnswers)
{
    CWin32VolumeScanner scanner;
    CDriveInfo info(scanner);
    ASSERT_TRUE(info.Refresh());
    for (const DISK_DRIVE_INFO& drive : info.m_arrDrive) {
        SCOPED_TRACE(drive.strRoot);
        std::printf("%s %s type %u device %08X #%d part %d extents %u dos \"%s\" interface \"%s\"\n",
                    drive.strRoot.c_str(), drive.strVolumeName.c_str(), drive.nDriveType, drive.dwDeviceType,
                    drive.dwDeviceNumber, drive.dwPartitionNumber, drive.nExtents, drive.strDosDevice.c_str(),
                    drive.strInterfacePath.c_str());
        ASSERT_NE(LetterBit(drive.chLetter), 0u) << drive.chLetter;
        EXPECT_EQ(drive.strRoot.rfind(drive.chLetter + ":\\", 0), 0u);
        EXPECT_FALSE(drive.strVolumeName.empty());
        EXPECT_EQ(drive.bUpdate, 0u);
        EXPECT_LE(drive.nExtents, MAX_DISK_EXTENTS);
        EXPECT_EQ(drive.Extents.size(), drive.nExtents);
    }
    uint64_t nTotal = 0;  // the system's own file system has a size
    EXPECT_TRUE(scanner.GetFileSystemTotalBytes("C:\\", nTotal) && nTotal > 0);
    // A second look changes nothing when nothing was mounted meanwhile.
    const size_t nRecords = info.m_arrDrive.size();
    info.Refresh();
    EXPECT_EQ(info.m_arrDrive.size(), nRecords);
}

TEST(Win32VolumeScannerTest, DrivesAreNamedByTheSystemsDevicePaths)
{
    CWin32VolumeScanner scanner;
    std::string strPath;
    ASSERT_TRUE(scanner.GetDrivePath(DRIVE_KIND_DISK, 12, strPath));
    EXPECT_EQ(strPath, "\\\\.\\PhysicalDrive12");
    ASSERT_TRUE(scanner.GetDrivePath(DRIVE_KIND_CDROM, 0, strPath));
    EXPECT_EQ(strPath, "\\\\.\\CDROM0");
    ASSERT_TRUE(scanner.GetDrivePath(DRIVE_KIND_FLOPPY, 1, strPath));
    EXPECT_EQ(strPath, "\\\\.\\B:");
    EXPECT_FALSE(scanner.GetDrivePath(DRIVE_KIND_FLOPPY, 26, strPath));
    EXPECT_FALSE(scanner.GetDrivePath(DRIVE_KIND_NONE, 0, strPath));
}

}  // namespace
