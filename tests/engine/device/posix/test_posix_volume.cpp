// Volumes and disks on a partitioned loop device the test attaches itself:
// which opens a mounted partition allows, the lock and dismount of a
// volume, and the storage requests of a partition and its disk.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <fstream>

#include "engine/device/posix/posix_mounts.h"
#include "tests/engine/device/posix/loop_disk.h"
#include "tests/engine/test_helpers.h"

namespace {

using namespace loop_test;

dev_t DeviceNumberOf(const std::string& strPath)
{
    struct stat st {};
    return ::stat(strPath.c_str(), &st) == 0 ? st.st_rdev : 0;
}

class PosixVolumeTest : public PlatformDeviceTest {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0) GTEST_SKIP() << "volumes need root";
        WriteWholeFile(m_dir.File("disk.img"), Pattern(DISK_SIZE, 7));
        std::string strWhy;
        if (!m_loop.Attach(m_dir.File("disk.img"), strWhy)) GTEST_SKIP() << strWhy;
        ASSERT_TRUE(RunQuietly("mkfs.ext4 -q -F " + m_loop.Partition())) << "mkfs.ext4 " << m_loop.Partition();
    }

    bool IsMounted() { return !MountPointsOf(DeviceNumberOf(m_loop.Partition())).empty(); }
    std::string MountDir(const char* pName) { return m_dir.File(pName); }

    std::unique_ptr<IDevice> OpenVolume()
    {
        std::unique_ptr<IDevice> pVolume = Open(m_loop.Partition(), EOpenMode::Volume);
        EXPECT_NE(pVolume, nullptr) << m_nError;
        return pVolume;
    }

    CLoopDisk m_loop;
    uint32_t m_nRequestError = 0;
};

TEST_F(PosixVolumeTest, AMountedPartitionKeepsTheExclusiveWriterAndReaderOutAndOnlyThem)
{
    ASSERT_TRUE(m_loop.Mount(MountDir("mnt")));
    for (EOpenMode eMode : {EOpenMode::WriteDrive, EOpenMode::ReadDrive}) {
        EXPECT_EQ(Open(m_loop.Disk(), eMode), nullptr) << static_cast<int>(eMode);
        EXPECT_EQ(m_nError, static_cast<uint32_t>(EBUSY));
    }
    // Probing, querying and the share options never ask for exclusive use.
    for (EOpenMode eMode : {EOpenMode::ReadDriveShared, EOpenMode::ProbeDrive, EOpenMode::Volume,
                            EOpenMode::WriteDriveShared}) {
        EXPECT_NE(Open(m_loop.Disk(), eMode), nullptr) << static_cast<int>(eMode) << ": " << m_nError;
    }
    EXPECT_NE(Open(m_loop.Partition(), EOpenMode::Volume), nullptr) << m_nError;
}

// A dismount unmounts every mount point; without a lock it holds nothing,
// and a file open on the volume keeps it mounted. Locked, the volume is
// held by its one handle until unlocked or dropped: nothing mounts it and
// no other handle takes the lock, while this process may write the disk
// (a job's lock, then its writer) that stays closed to other exclusive
// openers, and the handle keeps working.
TEST_F(PosixVolumeTest, LockAndDismountHoldTheVolumeForTheirHandleUntilUnlockedOrDropped)
{
    ASSERT_TRUE(m_loop.Mount(MountDir("first")));
    ASSERT_TRUE(m_loop.Mount(MountDir("second")));
    std::unique_ptr<IDevice> pVolume = OpenVolume();
    ASSERT_NE(pVolume, nullptr);
    EXPECT_FALSE(pVolume->UnlockVolume(m_nRequestError));  // nothing to unlock yet
    EXPECT_EQ(m_nRequestError, static_cast<uint32_t>(ENOLCK));
    ASSERT_TRUE(pVolume->DismountVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_FALSE(IsMounted());
    ASSERT_TRUE(pVolume->LockVolume(m_nRequestError)) << m_nRequestError;  // not mounted: held at once
    EXPECT_FALSE(m_loop.Mount(MountDir("first")));
    ASSERT_TRUE(pVolume->UnlockVolume(m_nRequestError)) << m_nRequestError;
    ASSERT_TRUE(m_loop.Mount(MountDir("first")));

    auto pFile = std::make_unique<std::ofstream>(MountDir("first") + "/busy.txt");
    ASSERT_TRUE(pFile->is_open());
    ASSERT_TRUE(pVolume->LockVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_FALSE(pVolume->DismountVolume(m_nRequestError));
    EXPECT_EQ(m_nRequestError, static_cast<uint32_t>(EBUSY));
    EXPECT_TRUE(IsMounted());
    pFile.reset();
    ASSERT_TRUE(pVolume->DismountVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_FALSE(IsMounted());

    EXPECT_FALSE(m_loop.Mount(MountDir("first")));
    std::unique_ptr<IDevice> pOther = OpenVolume();
    ASSERT_NE(pOther, nullptr);
    EXPECT_FALSE(pOther->LockVolume(m_nRequestError));
    EXPECT_EQ(m_nRequestError, static_cast<uint32_t>(EBUSY));
    EXPECT_NE(Open(m_loop.Disk(), EOpenMode::WriteDrive), nullptr) << m_nError;
    EXPECT_FALSE(RunQuietly("python3 -c \"import os; os.open('" + m_loop.Disk() + "', os.O_RDWR | os.O_EXCL)\""));
    uint64_t nLength = 0;
    EXPECT_TRUE(pVolume->GetLengthInfo(nLength, m_nRequestError) && nLength == PART_SIZE) << m_nRequestError;
    EXPECT_TRUE(pVolume->LockVolume(m_nRequestError)) << m_nRequestError;  // locking again changes nothing

    ASSERT_TRUE(pVolume->UnlockVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_TRUE(pOther->LockVolume(m_nRequestError)) << m_nRequestError;
    pOther.reset();  // dropping a locked volume releases it
    EXPECT_TRUE(m_loop.Mount(MountDir("first")));
    EXPECT_TRUE(pVolume->GetLengthInfo(nLength, m_nRequestError) && nLength == PART_SIZE) << m_nRequestError;
}

TEST_F(PosixVolumeTest, APartitionNamesItsLoopDiskInNumberAndExtents)
{
    const dev_t nDisk = DeviceNumberOf(m_loop.Disk());
    std::unique_ptr<IDevice> pVolume = OpenVolume();
    std::unique_ptr<IDevice> pDisk = Open(m_loop.Disk(), EOpenMode::ProbeDrive);
    ASSERT_TRUE(pVolume && pDisk) << m_nError;

    T_DEVICE_NUMBER number;
    ASSERT_TRUE(pVolume->GetDeviceNumber(number, m_nRequestError)) << m_nRequestError;
    EXPECT_EQ(number.DeviceType, DEVICE_NUMBER_TYPE_DISK);
    EXPECT_EQ(number.DeviceNumber, nDisk);
    EXPECT_EQ(number.PartitionNumber, 1);
    ASSERT_TRUE(pDisk->GetDeviceNumber(number, m_nRequestError)) << m_nRequestError;
    EXPECT_EQ(number.DeviceNumber, nDisk);
    EXPECT_EQ(number.PartitionNumber, 0);

    std::vector<T_DISK_EXTENT> arrExtents;
    ASSERT_TRUE(pVolume->GetVolumeDiskExtents(arrExtents, m_nRequestError)) << m_nRequestError;
    ASSERT_EQ(arrExtents.size(), 1u);
    EXPECT_EQ(arrExtents[0].DiskNumber, nDisk);
    EXPECT_EQ(arrExtents[0].StartingOffset, PART_START);
    EXPECT_EQ(arrExtents[0].ExtentLength, PART_SIZE);
    ASSERT_TRUE(pDisk->GetVolumeDiskExtents(arrExtents, m_nRequestError)) << m_nRequestError;
    ASSERT_EQ(arrExtents.size(), 1u);
    EXPECT_EQ(arrExtents[0].StartingOffset, 0u);
    EXPECT_EQ(arrExtents[0].ExtentLength, DISK_SIZE);
}

}  // namespace
