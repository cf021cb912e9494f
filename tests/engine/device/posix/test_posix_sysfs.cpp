// The storage answers read from sysfs, on a folder laid out as sysfs lays
// out disks, partitions, layers and the drives behind them.
#include <gtest/gtest.h>

#include <sys/sysmacros.h>

#include <cerrno>

#include "tests/engine/device/posix/fake_sysfs.h"

namespace {

class PosixSysfsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A USB stick with one partition: padded SCSI strings, a unit serial page.
        m_sysfs.Disk("sdb", "8:16", 2000, true);
        m_sysfs.Write("block/sdb/device/vendor", "Generic \n");
        m_sysfs.Write("block/sdb/device/model", "Flash Disk      \n");
        m_sysfs.Write("block/sdb/device/rev", "8.07\n");
        m_sysfs.Write("block/sdb/device/vpd_pg80", std::string("\0\x80\0\x08", 4) + "0000A1B2");
        m_sysfs.Partition("sdb", "sdb1", "8:17", 1, 2048, 1000);
        // A fixed disk whose serial only udev knows.
        m_sysfs.Disk("sdc", "8:32", 4000, false);
        m_sysfs.Write("block/sdc/device/vendor", "ATA     \n");
        m_sysfs.Write("block/sdc/device/model", "Disk\n");
        m_sysfs.Udev("8:32", "S:disk/by-id/ata-Disk\nE:ID_SERIAL=Disk_S123\nE:ID_SERIAL_SHORT=S123\n");
        // An optical drive, a loop device and a layer over sdb1 and sdc.
        m_sysfs.Disk("sr0", "11:0", 0, true);
        m_sysfs.Write("block/sr0/device/type", "5\n");
        m_sysfs.Write("block/sr0/device/vendor", "HL-DT-ST\n");
        m_sysfs.Disk("loop0", "7:0", 100, false, false);
        m_sysfs.Layer("dm-0", "253:0", 3000, {"sdc", "sdb/sdb1"});
    }

    CFakeSysfs m_sysfs;
    const T_SYSFS_ROOTS& m_roots = m_sysfs.Roots();
    uint32_t m_nError = 0;
};

TEST_F(PosixSysfsTest, APartitionNamesItsDiskAWholeDeviceItselfAndALayerNoSingleDisk)
{
    const struct { dev_t nDevice; uint32_t nType; dev_t nDisk; int32_t nPartition; } cases[] = {
        {makedev(8, 17), DEVICE_NUMBER_TYPE_DISK, makedev(8, 16), 1},
        {makedev(8, 16), DEVICE_NUMBER_TYPE_DISK, makedev(8, 16), 0},
        {makedev(11, 0), DEVICE_NUMBER_TYPE_CD_ROM, makedev(11, 0), -1},
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

TEST_F(PosixSysfsTest, IdentificationComesFromTheDriveAsItReportsItAndOnlyFromADrive)
{
    const struct { dev_t nDevice; T_STORAGE_DESCRIPTOR want; } cases[] = {
        // A partition answers for its drive; blanks stay, line feeds go.
        {makedev(8, 17), {"Generic ", "Flash Disk      ", "8.07", "0000A1B2", true}},
        {makedev(8, 32), {"ATA     ", "Disk", "", "S123", false}},
        // A loop device is a disk without names, so that the drive list still measures it.
        {makedev(7, 0), {"", "", "", "", false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nDevice);
        T_STORAGE_DESCRIPTOR d;
        ASSERT_TRUE(SysfsStorageDescriptor(m_roots, c.nDevice, d, m_nError)) << m_nError;
        EXPECT_EQ(d.strVendor + "|" + d.strProduct + "|" + d.strRevision + "|" + d.strSerial,
                  c.want.strVendor + "|" + c.want.strProduct + "|" + c.want.strRevision + "|" + c.want.strSerial);
        EXPECT_EQ(d.bRemovableMedia, c.want.bRemovableMedia);
    }
    for (dev_t nDevice : {makedev(253, 0), makedev(9, 9)}) {
        T_STORAGE_DESCRIPTOR descriptor;
        m_nError = 0;
        EXPECT_FALSE(SysfsStorageDescriptor(m_roots, nDevice, descriptor, m_nError)) << nDevice;
        EXPECT_NE(m_nError, 0u);
    }
}

TEST_F(PosixSysfsTest, OnlyOpticalAndRemovableDrivesHaveAMediumToMove)
{
    EXPECT_EQ(SysfsMediaClass(m_roots, makedev(11, 0)), EMediaClass::Optical);
    EXPECT_EQ(SysfsMediaClass(m_roots, makedev(8, 17)), EMediaClass::Removable);  // by its disk
    EXPECT_EQ(SysfsMediaClass(m_roots, makedev(8, 32)), EMediaClass::Fixed);
    EXPECT_EQ(SysfsMediaClass(m_roots, makedev(9, 9)), EMediaClass::Fixed);
}

}  // namespace
