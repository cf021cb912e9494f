// The Linux volume scanner on a folder laid out as sysfs lays out disks,
// partitions, optical and floppy drives, loop devices and layers, with a
// mount table of its own: which devices are drives, their numbers, which
// volumes they have, and the inventory built on them.
#include <gtest/gtest.h>

#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "drives/drive_info.h"
#include "drives/drive_kind.h"
#include "drives/linux/linux_volume_scanner.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Letters = std::vector<std::string>;

class LinuxVolumeScannerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_roots.sys = m_dir.Path() / "sys";
        m_roots.udev = m_dir.Path() / "udev";
        fs::create_directories(m_roots.udev);
        // A stick: two primary partitions, an extended container, a logical one.
        Disk("sdb", "8:16", true);
        Partition("sdb", "sdb1", "8:17", 1, 2048, 1000);
        Partition("sdb", "sdb2", "8:18", 2, 4096, 1000);
        Partition("sdb", "sdb3", "8:19", 3, 8192, 2);
        Partition("sdb", "sdb5", "8:21", 5, 8194, 500);
        // A fixed disk with a file system on the whole disk that udev knows.
        Disk("sda", "8:0", false);
        std::ofstream(m_roots.udev / "b8:0") << "E:ID_FS_TYPE=ext4\n";
        // A blank disk, a loop device with a backing file and one without.
        Disk("sdc", "8:32", false);
        Disk("loop0", "7:0", false, false);
        Write("block/loop0/loop/backing_file", "/tmp/disk.img\n");
        Disk("loop1", "7:1", false, false);
        // An optical and a floppy drive; a layer and a RAM disk, which are not drives.
        Disk("sr0", "11:0", true);
        Write("block/sr0/device/type", "5\n");
        Disk("fd0", "2:0", true, false);
        Disk("dm-0", "253:0", false, false);
        fs::create_directories(m_roots.sys / "block/dm-0/slaves");
        fs::create_directory_symlink("../../sdc", m_roots.sys / "block/dm-0/slaves/sdc");
        Disk("zram0", "252:0", false, false);
        std::ofstream empty(m_mountInfo);
        m_pScanner = std::make_unique<CLinuxVolumeScanner>(m_roots, m_mountInfo);
    }

    void Write(const std::string& strFile, const std::string& strText)
    {
        const fs::path path = m_roots.sys / strFile;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << strText;
    }

    void Link(const std::string& strDev, const std::string& strFolder)
    {
        fs::create_directories(m_roots.sys / "dev/block");
        fs::create_directory_symlink("../../block/" + strFolder, m_roots.sys / "dev/block" / strDev);
    }

    void Disk(const std::string& strName, const std::string& strDev, bool bRemovable, bool bHardware = true)
    {
        Write("block/" + strName + "/dev", strDev + "\n");
        Write("block/" + strName + "/size", "20000\n");
        Write("block/" + strName + "/removable", bRemovable ? "1\n" : "0\n");
        if (bHardware) fs::create_directories(m_roots.sys / "block" / strName / "device");
        Link(strDev, strName);
    }

    void Partition(const std::string& strDisk, const std::string& strName, const std::string& strDev, int nNumber,
                   int nStart, int nSectors)
    {
        const std::string strFolder = strDisk + "/" + strName;
        Write("block/" + strFolder + "/dev", strDev + "\n");
        Write("block/" + strFolder + "/partition", std::to_string(nNumber) + "\n");
        Write("block/" + strFolder + "/start", std::to_string(nStart) + "\n");
        Write("block/" + strFolder + "/size", std::to_string(nSectors) + "\n");
        Link(strDev, strFolder);
    }

    std::string DrivePath(uint32_t nKind, uint32_t nNumber)
    {
        std::string strPath;
        return m_pScanner->GetDrivePath(nKind, nNumber, strPath) ? strPath : "(none)";
    }

    CTempDir m_dir;
    T_SYSFS_ROOTS m_roots;
    fs::path m_mountInfo = m_dir.Path() / "mountinfo";
    std::unique_ptr<CLinuxVolumeScanner> m_pScanner;
};

TEST_F(LinuxVolumeScannerTest, DrivesAreNumberedByDeviceNumberWithinTheirKind)
{
    EXPECT_EQ(m_pScanner->ListLetters(), Letters({"sda", "sdb1", "sdb2", "sdb5", "sr0", "fd0"}));
    const struct {
        uint32_t nKind;
        uint32_t nNumber;
        const char* pPath;
    } cases[] = {
        {DRIVE_KIND_DISK, 0, "/dev/loop0"}, {DRIVE_KIND_DISK, 1, "/dev/sda"},  {DRIVE_KIND_DISK, 2, "/dev/sdb"},
        {DRIVE_KIND_DISK, 3, "/dev/sdc"},   {DRIVE_KIND_DISK, 4, "(none)"},    {DRIVE_KIND_CDROM, 0, "/dev/sr0"},
        {DRIVE_KIND_FLOPPY, 0, "/dev/fd0"}, {DRIVE_KIND_CDROM, 1, "(none)"},
    };
    for (const auto& c : cases) EXPECT_EQ(DrivePath(c.nKind, c.nNumber), c.pPath) << c.nKind << " " << c.nNumber;
}

TEST_F(LinuxVolumeScannerTest, TheInventoryFindsEachDrivesVolumes)
{
    // A whole-disk file system counts once it is mounted.
    std::ofstream(m_mountInfo) << "36 25 8:32 / /mnt/blank rw - vfat /dev/sdc rw\n"
                               << "37 25 11:0 / " << m_dir.Path().string() << " ro - iso9660 /dev/sr0 ro\n";
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
    EXPECT_EQ(pSdb5->strParentId, fs::canonical(m_roots.sys / "block/sdb").string());
    EXPECT_EQ(info.FindLetter("sda")->nDriveType, DRIVE_TYPE_FIXED);
    EXPECT_EQ(info.FindLetter("sr0")->nDriveType, DRIVE_TYPE_CDROM);
    EXPECT_EQ(info.FindLetter("sr0")->nExtents, 0u);
    const DISK_DRIVE_INFO* pFloppy = info.FindLetter("fd0");
    EXPECT_TRUE(pFloppy->bFloppy);
    EXPECT_EQ(pFloppy->strDosDevice, "/dev/fd0");
    EXPECT_EQ(pFloppy->dwDeviceType, DRIVE_KIND_FLOPPY);
}

TEST_F(LinuxVolumeScannerTest, ADiskThatTakesAnotherNumberIsNotRememberedUnderItsOldOne)
{
    CDriveInfo info(*m_pScanner);
    info.Refresh();
    ASSERT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 1), Letters({"sda"}));
    // A new loop device sorts before sda and sdb: both move up one place.
    Disk("loop2", "7:2", false, false);
    Write("block/loop2/loop/backing_file", "/tmp/other.img\n");
    info.Refresh();
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 1), Letters());
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 2), Letters({"sda"}));
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 3), Letters({"sdb1", "sdb2", "sdb5"}));
    EXPECT_EQ(info.m_arrDrive.size(), 6u);
}

}  // namespace
