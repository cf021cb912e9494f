// The storage answers read from sysfs, on a folder laid out as sysfs lays
// out disks, partitions, layers and the drives behind them.
#include <gtest/gtest.h>

#include <sys/sysmacros.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "engine/device/posix/posix_sysfs.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class PosixSysfsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_roots.sys = m_dir.Path() / "sys";
        m_roots.udev = m_dir.Path() / "udev";
        fs::create_directories(m_roots.udev);
        // A USB stick with one partition: padded SCSI strings, a unit serial page.
        Disk("sdb", "8:16", 2000, true);
        Write("block/sdb/device/vendor", "Generic \n");
        Write("block/sdb/device/model", "Flash Disk      \n");
        Write("block/sdb/device/rev", "8.07\n");
        Write("block/sdb/device/vpd_pg80", std::string("\0\x80\0\x08", 4) + std::string("0000A1B2", 8));
        Partition("sdb", "sdb1", "8:17", 1, 2048, 1000);
        // A fixed disk whose serial only udev knows, a world-wide name beside it.
        Disk("sdc", "8:32", 4000, false);
        Write("block/sdc/device/vendor", "ATA     \n");
        Write("block/sdc/device/model", "Disk\n");
        Write("block/sdc/device/wwid", "t10.ATA     Disk\n");
        std::ofstream(m_roots.udev / "b8:32") << "S:disk/by-id/ata-Disk\n"
                                                 "E:ID_SERIAL=Disk_S123\nE:ID_SERIAL_SHORT=S123\n";
        // An optical drive, an NVMe namespace, a loop device and a layer over sdb1 and sdc.
        Disk("sr0", "11:0", 0, true);
        Write("block/sr0/device/type", "5\n");
        Write("block/sr0/device/vendor", "HL-DT-ST\n");
        Disk("nvme0n1", "259:0", 8000, false);
        Write("block/nvme0n1/device/model", "NVMe SSD\n");
        Write("block/nvme0n1/device/serial", "SN42\n");
        Write("block/nvme0n1/device/firmware_rev", "FW1\n");
        Disk("loop0", "7:0", 100, false, false);
        Disk("dm-0", "253:0", 3000, false, false);
        fs::create_directories(m_roots.sys / "block/dm-0/slaves");
        fs::create_directory_symlink("../../sdc", m_roots.sys / "block/dm-0/slaves/sdc");
        fs::create_directory_symlink("../../sdb/sdb1", m_roots.sys / "block/dm-0/slaves/sdb1");
    }

    void Write(const std::string& strFile, const std::string& strText)
    {
        const fs::path path = m_roots.sys / strFile;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << strText;
    }

    void Link(const std::string& strDev, const std::string& strFolder)
    {
        fs::create_directories(m_roots.sys / "dev/block");
        fs::create_directory_symlink("../../block/" + strFolder, m_roots.sys / "dev/block" / strDev);
    }

    void Disk(const std::string& strName, const std::string& strDev, int nSectors, bool bRemovable,
              bool bHardware = true)
    {
        Write("block/" + strName + "/dev", strDev + "\n");
        Write("block/" + strName + "/size", std::to_string(nSectors) + "\n");
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

    CTempDir m_dir;
    T_SYSFS_ROOTS m_roots;
    uint32_t m_nError = 0;
};

TEST_F(PosixSysfsTest, APartitionNamesItsDiskAndAWholeDeviceItself)
{
    const struct { dev_t nDevice; uint32_t nType; dev_t nDisk; int32_t nPartition; } cases[] = {
        {makedev(8, 17), DEVICE_NUMBER_TYPE_DISK, makedev(8, 16), 1},
        {makedev(8, 16), DEVICE_NUMBER_TYPE_DISK, makedev(8, 16), 0},
        {makedev(11, 0), DEVICE_NUMBER_TYPE_CD_ROM, makedev(11, 0), -1},
        {makedev(7, 0), DEVICE_NUMBER_TYPE_DISK, makedev(7, 0), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nDevice);
        T_DEVICE_NUMBER number;
        ASSERT_TRUE(SysfsDeviceNumber(m_roots, c.nDevice, number, m_nError)) << m_nError;
        EXPECT_EQ(number.DeviceType, c.nType);
        EXPECT_EQ(number.DeviceNumber, c.nDisk);
        EXPECT_EQ(number.PartitionNumber, c.nPartition);
    }
    // A layer spans disks (its extents tell which); sysfs does not know 9:9.
    T_DEVICE_NUMBER number;
    EXPECT_FALSE(SysfsDeviceNumber(m_roots, makedev(253, 0), number, m_nError));
    EXPECT_EQ(m_nError, static_cast<uint32_t>(ENOTTY));
    EXPECT_FALSE(SysfsDeviceNumber(m_roots, makedev(9, 9), number, m_nError));
    EXPECT_EQ(m_nError, static_cast<uint32_t>(ENODEV));
}

TEST_F(PosixSysfsTest, ExtentsOfAPartitionADiskAndALayerOverBoth)
{
    const struct { dev_t nDevice; std::vector<T_DISK_EXTENT> arrWant; } cases[] = {
        {makedev(8, 17), {{makedev(8, 16), 2048 * 512, 1000 * 512}}},
        {makedev(8, 32), {{makedev(8, 32), 0, 4000 * 512}}},
        // Members in the order of their names.
        {makedev(253, 0), {{makedev(8, 16), 2048 * 512, 1000 * 512}, {makedev(8, 32), 0, 4000 * 512}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nDevice);
        std::vector<T_DISK_EXTENT> arrExtents;
        ASSERT_TRUE(SysfsDiskExtents(m_roots, c.nDevice, arrExtents, m_nError)) << m_nError;
        ASSERT_EQ(arrExtents.size(), c.arrWant.size());
        for (size_t i = 0; i < arrExtents.size(); ++i) {
            EXPECT_EQ(arrExtents[i].DiskNumber, c.arrWant[i].DiskNumber) << i;
            EXPECT_EQ(arrExtents[i].StartingOffset, c.arrWant[i].StartingOffset) << i;
            EXPECT_EQ(arrExtents[i].ExtentLength, c.arrWant[i].ExtentLength) << i;
        }
    }
    std::vector<T_DISK_EXTENT> arrExtents;
    EXPECT_FALSE(SysfsDiskExtents(m_roots, makedev(9, 9), arrExtents, m_nError));
}

TEST_F(PosixSysfsTest, IdentificationComesFromTheDriveAsItReportsIt)
{
    const struct { dev_t nDevice; T_STORAGE_DESCRIPTOR want; } cases[] = {
        // A partition answers for its drive; blanks stay, line feeds go.
        {makedev(8, 17), {"Generic ", "Flash Disk      ", "8.07", "0000A1B2", true}},
        {makedev(8, 32), {"ATA     ", "Disk", "", "S123", false}},
        {makedev(259, 0), {"", "NVMe SSD", "FW1", "SN42", false}},
        {makedev(11, 0), {"HL-DT-ST", "", "", "", true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nDevice);
        T_STORAGE_DESCRIPTOR descriptor;
        ASSERT_TRUE(SysfsStorageDescriptor(m_roots, c.nDevice, descriptor, m_nError)) << m_nError;
        EXPECT_EQ(descriptor.strVendor, c.want.strVendor);
        EXPECT_EQ(descriptor.strProduct, c.want.strProduct);
        EXPECT_EQ(descriptor.strRevision, c.want.strRevision);
        EXPECT_EQ(descriptor.strSerial, c.want.strSerial);
        EXPECT_EQ(descriptor.bRemovableMedia, c.want.bRemovableMedia);
    }
}

TEST_F(PosixSysfsTest, DevicesWithoutADriveHaveNoIdentification)
{
    // A loop device is a disk without names, so that the drive list still
    // measures it.
    T_STORAGE_DESCRIPTOR loop;
    ASSERT_TRUE(SysfsStorageDescriptor(m_roots, makedev(7, 0), loop, m_nError)) << m_nError;
    EXPECT_EQ(loop.strVendor + loop.strProduct + loop.strSerial, "");
    for (dev_t nDevice : {makedev(253, 0), makedev(9, 9)}) {
        SCOPED_TRACE(nDevice);
        T_STORAGE_DESCRIPTOR descriptor;
        m_nError = 0;
        EXPECT_FALSE(SysfsStorageDescriptor(m_roots, nDevice, descriptor, m_nError));
        EXPECT_NE(m_nError, 0u);
    }
}

TEST_F(PosixSysfsTest, OnlyOpticalAndRemovableDrivesHaveAMediumToMove)
{
    EXPECT_EQ(SysfsMediaClass(m_roots, makedev(11, 0)), EMediaClass::Optical);
    EXPECT_EQ(SysfsMediaClass(m_roots, makedev(8, 17)), EMediaClass::Removable);  // by its disk
    EXPECT_EQ(SysfsMediaClass(m_roots, makedev(8, 32)), EMediaClass::Fixed);
    EXPECT_EQ(SysfsMediaClass(m_roots, makedev(7, 0)), EMediaClass::Fixed);
    EXPECT_EQ(SysfsMediaClass(m_roots, makedev(9, 9)), EMediaClass::Fixed);
}

}  // namespace
