// The inventory on the real system's tables, asked only about a
// partitioned loop device that the test attaches itself to a temporary
// file and always detaches. Root only; skipped otherwise.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "drives/drive_info.h"
#include "drives/drive_kind.h"
#include "drives/linux/linux_volume_scanner.h"
#include "tests/engine/device/posix/loop_disk.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace loop_test;

// The disk number the scanner gave the device; -1 when it is no disk.
int64_t DiskNumberOf(IVolumeScanner& scanner, const std::string& strDevice)
{
    for (uint32_t n = 0; n < 256; ++n) {
        std::string strPath;
        if (scanner.GetDrivePath(DRIVE_KIND_DISK, n, strPath) && strPath == strDevice) return n;
    }
    return -1;
}

TEST(LinuxLoopInventoryTest, ThePartitionOfALoopDiskIsItsVolumeUntilTheDiskGoes)
{
    if (::geteuid() != 0) GTEST_SKIP() << "loop devices need root";
    CTempDir dir;
    WriteWholeFile(dir.File("disk.img"), std::vector<uint8_t>(DISK_SIZE));
    CLoopDisk loop;
    std::string strWhy;
    if (!loop.Attach(dir.File("disk.img"), strWhy)) GTEST_SKIP() << strWhy;

    CLinuxVolumeScanner scanner;
    CDriveInfo info(scanner);
    info.Refresh();
    const std::string strName = std::filesystem::path(loop.Partition()).filename().string();
    const int64_t nDisk = DiskNumberOf(scanner, loop.Disk());
    ASSERT_GE(nDisk, 0);
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, static_cast<uint32_t>(nDisk)), std::vector<std::string>{strName});
    const DISK_DRIVE_INFO* pVolume = info.FindLetter(strName);
    ASSERT_NE(pVolume, nullptr);
    EXPECT_EQ(pVolume->nDriveType, DRIVE_TYPE_FIXED);
    EXPECT_EQ(pVolume->dwDeviceNumber, nDisk);
    EXPECT_EQ(pVolume->dwPartitionNumber, 1);
    ASSERT_EQ(pVolume->nExtents, 1u);
    EXPECT_EQ(pVolume->Extents[0].StartingOffset, PART_START);
    EXPECT_EQ(pVolume->Extents[0].ExtentLength, PART_SIZE);

    const std::string strDisk = loop.Disk();
    ASSERT_TRUE(loop.Detach());
    info.Refresh();
    EXPECT_EQ(info.FindLetter(strName), nullptr);
    EXPECT_EQ(DiskNumberOf(scanner, strDisk), -1);
}

}  // namespace
