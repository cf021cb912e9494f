// The Linux volume scanner on a folder laid out as sysfs lays out disks,
// partitions, optical and floppy drives, loop devices and layers, with a
// mount table of its own: which devices are drives, their numbers, which
// volumes they have, and the inventory built on them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "drives/drive_info.h"
#include "drives/drive_kind.h"
#include "drives/linux/linux_volume_scanner.h"
#include "tests/engine/device/posix/fake_sysfs.h"

namespace {

namespace fs = std::filesystem;
using Letters = std::vector<std::string>;

class LinuxVolumeScannerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A stick: two primary partitions, an extended container, a logical one.
        m_sysfs.Disk("sdb", "8:16", 20000, true);
        m_sysfs.Partition("sdb", "sdb1", "8:17", 1, 2048, 1000);
        m_sysfs.Partition("sdb", "sdb2", "8:18", 2, 4096, 1000);
        m_sysfs.Partition("sdb", "sdb3", "8:19", 3, 8192, 2);
        m_sysfs.Partition("sdb", "sdb5", "8:21", 5, 8194, 500);
        // A fixed disk with a file system on the whole disk that udev knows.
        m_sysfs.Disk("sda", "8:0", 20000, false);
        m_sysfs.Udev("8:0", "E:ID_FS_TYPE=ext4\n");
        // A blank disk, a loop device with a backing file and one without.
        m_sysfs.Disk("sdc", "8:32", 20000, false);
        m_sysfs.Disk("loop0", "7:0", 20000, false, false);
        m_sysfs.Write("block/loop0/loop/backing_file", "/tmp/disk.img\n");
        m_sysfs.Disk("loop1", "7:1", 20000, false, false);
        // An optical and a floppy drive; a layer and a RAM disk, which are not drives.
        m_sysfs.Disk("sr0", "11:0", 20000, true);
        m_sysfs.Write("block/sr0/device/type", "5\n");
        m_sysfs.Disk("fd0", "2:0", 20000, true, false);
        m_sysfs.Layer("dm-0", "253:0", 20000, {"sdc"});
        m_sysfs.Disk("zram0", "252:0", 20000, false, false);
        std::ofstream empty(m_mountInfo);
        m_pScanner = std::make_unique<CLinuxVolumeScanner>(m_sysfs.Roots(), m_mountInfo);
    }

    std::string DrivePath(uint32_t nKind, uint32_t nNumber)
    {
        std::string strPath;
        return m_pScanner->GetDrivePath(nKind, nNumber, strPath) ? strPath : "(none)";
    }

    CFakeSysfs m_sysfs;
    fs::path m_mountInfo = m_sysfs.Folder() / "mountinfo";
    std::unique_ptr<CLinuxVolumeScanner> m_pScanner;
};

TEST_F(LinuxVolumeScannerTest, DrivesAreNumberedByDeviceNumberWithinTheirKind)
{
    // Layers, RAM disks, loop devices without a file and an extended
    // container are no volumes nor drives.
    EXPECT_EQ(m_pScanner->ListLetters(), Letters({"sda", "sdb1", "sdb2", "sdb5", "sr0", "fd0"}));
    std::string strDisks;
    for (uint32_t n = 0; n < 5; ++n) strDisks += DrivePath(DRIVE_KIND_DISK, n) + " ";
    EXPECT_EQ(strDisks, "/dev/loop0 /dev/sda /dev/sdb /dev/sdc (none) ");
    EXPECT_EQ(DrivePath(DRIVE_KIND_CDROM, 0) + " " + DrivePath(DRIVE_KIND_FLOPPY, 0) + " " +
                  DrivePath(DRIVE_KIND_CDROM, 1),
              "/dev/sr0 /dev/fd0 (none)");
}

TEST_F(LinuxVolumeScannerTest, TheInventoryFindsEachDrivesVolumes)
{
    // A whole-disk file system counts once it is mounted.
    std::ofstream(m_mountInfo) << "36 25 8:32 / /mnt/blank rw - vfat /dev/sdc rw\n"
                               << "37 25 11:0 / " << m_sysfs.Folder().string() << " ro - iso9660 /dev/sr0 ro\n";
    CDriveInfo info(*m_pScanner);
    info.Refresh();
    // A disc's size is its file system's, measured where it is mounted.
    uint64_t nTotal = 0;
    EXPECT_TRUE(m_pScanner->GetFileSystemTotalBytes("/dev/sr0", nTotal) && nTotal > 0);
    EXPECT_FALSE(m_pScanner->GetFileSystemTotalBytes("/dev/sdb5", nTotal));
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 0), Letters());
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 1), Letters({"sda"}));
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 2), Letters({"sdb1", "sdb2", "sdb5"}));
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 3), Letters({"sdc"}));
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_CDROM, 0), Letters({"sr0"}));
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_FLOPPY, 0), Letters({"fd0"}));
    const DISK_DRIVE_INFO* pSdb5 = info.FindLetter("sdb5");
    ASSERT_NE(pSdb5, nullptr);
    EXPECT_EQ(pSdb5->strRoot, "/dev/sdb5");
    EXPECT_EQ(pSdb5->nDriveType, DRIVE_TYPE_REMOVABLE);
    EXPECT_EQ(pSdb5->dwPartitionNumber, 5);
    ASSERT_EQ(pSdb5->nExtents, 1u);
    EXPECT_EQ(pSdb5->Extents[0].DiskNumber, 2u);
    EXPECT_EQ(pSdb5->Extents[0].StartingOffset, 8194u * 512);
    EXPECT_EQ(info.FindLetter("sda")->nDriveType, DRIVE_TYPE_FIXED);
    EXPECT_EQ(info.FindLetter("sr0")->nDriveType, DRIVE_TYPE_CDROM);
    EXPECT_TRUE(info.FindLetter("fd0")->bFloppy);
}

TEST_F(LinuxVolumeScannerTest, ADiskThatTakesAnotherNumberIsNotRememberedUnderItsOldOne)
{
    CDriveInfo info(*m_pScanner);
    info.Refresh();
    ASSERT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 1), Letters({"sda"}));
    // A new loop device sorts before sda and sdb: both move up one place.
    m_sysfs.Disk("loop2", "7:2", 20000, false, false);
    m_sysfs.Write("block/loop2/loop/backing_file", "/tmp/other.img\n");
    info.Refresh();
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 1), Letters());
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 2), Letters({"sda"}));
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 3), Letters({"sdb1", "sdb2", "sdb5"}));
    EXPECT_EQ(info.m_arrDrive.size(), 6u);
}

}  // namespace
