// What the kernel reports in text and bytes, read back: mount tables and
// the sense data of SCSI commands.
#include <gtest/gtest.h>

#include <sys/sysmacros.h>

#include <cerrno>
#include <sstream>

#include "engine/device/posix/posix_mounts.h"
#include "engine/device/posix/posix_scsi.h"

namespace {

TEST(PosixMountInfoTest, MountsAreReadWithTheirDeviceTargetAndSourceInOrder)
{
    std::istringstream in(
        "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
        "40 22 8:17 / /media/usb\\040stick rw,nosuid shared:20 master:3 - vfat /dev/sdb1 rw\n"
        "41 22 0:45 /sub /srv/data rw - btrfs /dev/sdc rw,subvol=/sub\n"
        "not a mount line\n"
        "42 22 8:17 / /mnt/back\\134slash rw - vfat /dev/sdb1 rw\n");
    const std::vector<T_MOUNT> arrMounts = ParseMountInfo(in);
    ASSERT_EQ(arrMounts.size(), 4u);
    EXPECT_EQ(arrMounts[0].nDevice, makedev(8, 2));
    EXPECT_EQ(arrMounts[0].strTarget, "/");
    EXPECT_EQ(arrMounts[1].nDevice, makedev(8, 17));
    EXPECT_EQ(arrMounts[1].strTarget, "/media/usb stick");  // optional fields of any number
    EXPECT_EQ(arrMounts[1].strSource, "/dev/sdb1");
    EXPECT_EQ(arrMounts[2].nDevice, makedev(0, 45));  // btrfs: a number of its own, the source names the disk
    EXPECT_EQ(arrMounts[2].strSource, "/dev/sdc");
    EXPECT_EQ(arrMounts[3].strTarget, "/mnt/back\\slash");
}

TEST(PosixScsiSenseTest, NoMediumAndRefusedCommandsAreToldApart)
{
    const uint8_t notReadyFixed[18] = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0};
    const uint8_t illegalDescriptor[8] = {0x72, 0x05, 0x20, 0x00};
    const uint8_t hardwareFixed[18] = {0xF0, 0, 0x04};  // valid bit set
    const uint8_t unknownFormat[4] = {0x7F, 0x02, 0x02, 0};
    EXPECT_EQ(ScsiSenseError(notReadyFixed, sizeof notReadyFixed), static_cast<uint32_t>(ENOMEDIUM));
    EXPECT_EQ(ScsiSenseError(illegalDescriptor, sizeof illegalDescriptor), static_cast<uint32_t>(ENOTTY));
    EXPECT_EQ(ScsiSenseError(hardwareFixed, sizeof hardwareFixed), static_cast<uint32_t>(EIO));
    EXPECT_EQ(ScsiSenseError(unknownFormat, sizeof unknownFormat), static_cast<uint32_t>(EIO));
    EXPECT_EQ(ScsiSenseError(notReadyFixed, 2), static_cast<uint32_t>(EIO));  // too short to hold a key
    EXPECT_EQ(ScsiSenseError(nullptr, 0), static_cast<uint32_t>(EIO));
}

}  // namespace
