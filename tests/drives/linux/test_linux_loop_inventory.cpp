// The inventory on the real system's tables, asked only about loop devices
// that the test attaches itself to temporary files and always detaches: a
// partitioned one, and one with a file system on the whole device that the
// test mounts. Root only; skipped otherwise.
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
using Letters = std::vector<std::string>;

// The loop devices and the mount of one test, undone whatever its outcome.
struct T_LOOPS {
    std::vector<std::string> arrDevices;
    std::string strMount;
    ~T_LOOPS()
    {
        if (!strMount.empty()) RunQuietly("umount '" + strMount + "'");
        for (const std::string& strDevice : arrDevices) RunQuietly("losetup -d " + strDevice);
    }
    // The loop device now backed by strFile; empty when none can be attached.
    std::string Attach(const std::string& strFile, const std::string& strOptions)
    {
        const std::string strDevice = FirstLineOf("losetup -f --show " + strOptions + " '" + strFile + "'");
        if (strDevice.rfind("/dev/loop", 0) != 0) return std::string();
        arrDevices.push_back(strDevice);
        return strDevice;
    }
};

// A fresh partition table may need telling the kernel again.
bool WaitForPartition(const std::string& strDisk, const std::string& strPartition)
{
    for (int i = 0; i < 100 && !IsBlockDevice(strPartition); ++i) {
        if (i % 20 == 0) RunQuietly("partx -a " + strDisk);
        ::usleep(50000);
    }
    return IsBlockDevice(strPartition);
}

std::string NameOf(const std::string& strDevice)
{
    return std::filesystem::path(strDevice).filename().string();
}

// The disk number the scanner gave the device; -1 when it is no disk.
int64_t DiskNumberOf(IVolumeScanner& scanner, const std::string& strDevice)
{
    for (uint32_t n = 0; n < 256; ++n) {
        std::string strPath;
        if (scanner.GetDrivePath(DRIVE_KIND_DISK, n, strPath) && strPath == strDevice) return n;
    }
    return -1;
}

TEST(LinuxLoopInventoryTest, PartitionsAndAMountedWholeDeviceFileSystemAreTheVolumesOfLoopDisks)
{
    if (::geteuid() != 0) GTEST_SKIP() << "loop devices need root";
    if (!RunQuietly("command -v sfdisk && command -v mkfs.ext4 && command -v partx")) GTEST_SKIP() << "no tools";
    CTempDir dir;
    const std::string strParted = dir.File("parted.img"), strWhole = dir.File("whole.img");
    ASSERT_TRUE(RunQuietly("truncate -s 24M '" + strParted + "' && printf ',8M\\n,8M\\n' | sfdisk -q '" +
                           strParted + "'"));
    ASSERT_TRUE(RunQuietly("truncate -s 16M '" + strWhole + "' && mkfs.ext4 -q -F '" + strWhole + "'"));
    T_LOOPS loops;
    const std::string strA = loops.Attach(strParted, "-P");
    if (strA.empty()) GTEST_SKIP() << "no loop device can be attached here";
    ASSERT_TRUE(WaitForPartition(strA, strA + "p2")) << strA;
    const std::string strB = loops.Attach(strWhole, "");
    ASSERT_FALSE(strB.empty());
    std::filesystem::create_directory(dir.File("mnt"));
    ASSERT_TRUE(RunQuietly("mount -t ext4 " + strB + " '" + dir.File("mnt") + "'"));
    loops.strMount = dir.File("mnt");

    CLinuxVolumeScanner scanner;
    CDriveInfo info(scanner);
    info.Refresh();
    const std::string strNameA = NameOf(strA), strNameB = NameOf(strB);
    const int64_t nA = DiskNumberOf(scanner, strA), nB = DiskNumberOf(scanner, strB);
    ASSERT_GE(nA, 0);
    ASSERT_GE(nB, 0);
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, static_cast<uint32_t>(nA)),
              Letters({strNameA + "p1", strNameA + "p2"}));
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, static_cast<uint32_t>(nB)), Letters({strNameB}));
    const DISK_DRIVE_INFO* pSecond = info.FindLetter(strNameA + "p2");
    ASSERT_NE(pSecond, nullptr);
    EXPECT_EQ(pSecond->nDriveType, DRIVE_TYPE_FIXED);
    EXPECT_EQ(pSecond->dwDeviceNumber, nA);
    EXPECT_EQ(pSecond->dwPartitionNumber, 2);
    ASSERT_EQ(pSecond->nExtents, 1u);
    EXPECT_EQ(pSecond->Extents[0].StartingOffset, 9 * MIB);
    EXPECT_EQ(pSecond->Extents[0].ExtentLength, 8 * MIB);
    EXPECT_EQ(info.FindLetter(strNameB)->dwPartitionNumber, 0);

    // The partitioned device goes: its volumes leave the inventory.
    ASSERT_TRUE(RunQuietly("losetup -d " + strA));
    std::erase(loops.arrDevices, strA);
    info.Refresh();
    EXPECT_EQ(info.FindLetter(strNameA + "p1"), nullptr);
    EXPECT_EQ(info.FindLetter(strNameA + "p2"), nullptr);
    EXPECT_EQ(DiskNumberOf(scanner, strA), -1);
}

}  // namespace
