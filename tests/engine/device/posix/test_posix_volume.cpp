// Volumes and disks on a partitioned loop device the test attaches itself:
// which opens a mounted partition allows, the lock and dismount of a
// volume, and the storage requests of a partition and its disk.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
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
    // The first MiB of the disk: the partition table and the gap before the
    // partition, where nothing but a writer of the whole disk goes.
    std::vector<uint8_t> DiskHead()
    {
        std::vector<uint8_t> data = ReadWholeFile(m_dir.File("disk.img"));
        data.resize(PART_START);
        return data;
    }

    std::unique_ptr<IDevice> OpenVolume()
    {
        std::unique_ptr<IDevice> pVolume = Open(m_loop.Partition(), EOpenMode::Volume);
        EXPECT_NE(pVolume, nullptr) << m_nError;
        return pVolume;
    }

    CLoopDisk m_loop;
    uint32_t m_nRequestError = 0;
};

// The descriptors of this process open on strPath.
std::vector<std::string> DescriptorsOn(const std::string& strPath)
{
    std::vector<std::string> arrNames;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(entry.path(), ec) == strPath) {
            arrNames.push_back(entry.path().filename().string());
        }
    }
    return arrNames;
}

// The status flags the kernel keeps for the descriptor on strPath that is
// not among arrBefore; -1 when there is none.
int FlagsOfNewDescriptor(const std::string& strPath, const std::vector<std::string>& arrBefore)
{
    for (const std::string& strName : DescriptorsOn(strPath)) {
        if (std::find(arrBefore.begin(), arrBefore.end(), strName) != arrBefore.end()) continue;
        std::ifstream info("/proc/self/fdinfo/" + strName);
        for (std::string strKey, strValue; info >> strKey >> strValue;) {
            if (strKey == "flags:") return static_cast<int>(std::stol(strValue, nullptr, 8));
        }
    }
    return -1;
}

TEST_F(PosixVolumeTest, EachUseOpensADiskWithItsOwnFlags)
{
    // O_EXCL is not kept among the flags: the EBUSY cases show it.
    constexpr int CHECKED = O_ACCMODE | O_DIRECT | O_SYNC;
    const struct { EOpenMode eMode; int nFlags; } cases[] = {
        {EOpenMode::ReadDrive, O_RDONLY | O_DIRECT},
        {EOpenMode::ReadDriveShared, O_RDONLY | O_DIRECT},
        {EOpenMode::WriteDrive, O_RDWR | O_DIRECT | O_SYNC},
        {EOpenMode::WriteDriveShared, O_RDWR | O_DIRECT | O_SYNC},
        {EOpenMode::ProbeDrive, O_RDONLY},  // buffered: probes ask small questions
        {EOpenMode::Volume, O_RDONLY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.eMode));
        const std::vector<std::string> arrBefore = DescriptorsOn(m_loop.Disk());
        std::unique_ptr<IDevice> pDisk = Open(m_loop.Disk(), c.eMode);
        ASSERT_NE(pDisk, nullptr) << m_nError;
        EXPECT_EQ(FlagsOfNewDescriptor(m_loop.Disk(), arrBefore) & CHECKED, c.nFlags);
    }
}

TEST_F(PosixVolumeTest, AMountedPartitionKeepsTheExclusiveWriterAndReaderOutAndOnlyThem)
{
    ASSERT_TRUE(m_loop.Mount(MountDir("mnt")));
    const std::vector<uint8_t> head = DiskHead();
    for (EOpenMode eMode : {EOpenMode::WriteDrive, EOpenMode::ReadDrive}) {
        EXPECT_EQ(Open(m_loop.Disk(), eMode), nullptr) << static_cast<int>(eMode);
        EXPECT_EQ(m_nError, static_cast<uint32_t>(EBUSY));
    }
    EXPECT_EQ(DiskHead(), head);
    // Probing, querying and the share options never ask for exclusive use.
    for (EOpenMode eMode : {EOpenMode::ReadDriveShared, EOpenMode::ProbeDrive, EOpenMode::Volume,
                            EOpenMode::WriteDriveShared}) {
        EXPECT_NE(Open(m_loop.Disk(), eMode), nullptr) << static_cast<int>(eMode) << ": " << m_nError;
    }
    EXPECT_NE(Open(m_loop.Partition(), EOpenMode::Volume), nullptr) << m_nError;
}

TEST_F(PosixVolumeTest, LockAndDismountUnmountEveryMountPointAndHoldTheVolumeUntilUnlocked)
{
    ASSERT_TRUE(m_loop.Mount(MountDir("first")));
    ASSERT_TRUE(m_loop.Mount(MountDir("second")));
    std::unique_ptr<IDevice> pVolume = OpenVolume();
    ASSERT_NE(pVolume, nullptr);
    ASSERT_TRUE(pVolume->LockVolume(m_nRequestError)) << m_nRequestError;
    ASSERT_TRUE(pVolume->DismountVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_FALSE(IsMounted());

    // Held: nothing mounts it. The disk's every partition is held by this
    // process, so this process may write the disk (a job's lock, then its
    // writer), while it stays closed to other exclusive openers.
    EXPECT_FALSE(m_loop.Mount(MountDir("first")));
    EXPECT_NE(Open(m_loop.Disk(), EOpenMode::WriteDrive), nullptr) << m_nError;
    EXPECT_FALSE(RunQuietly("python3 -c \"import os; os.open('" + m_loop.Disk() + "', os.O_RDWR | os.O_EXCL)\""));
    // The handle keeps working while it holds the lock.
    uint64_t nLength = 0;
    EXPECT_TRUE(pVolume->GetLengthInfo(nLength, m_nRequestError) && nLength == PART_SIZE) << m_nRequestError;

    ASSERT_TRUE(pVolume->UnlockVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_TRUE(m_loop.Mount(MountDir("first")));
    EXPECT_TRUE(pVolume->GetLengthInfo(nLength, m_nRequestError) && nLength == PART_SIZE) << m_nRequestError;
}

TEST_F(PosixVolumeTest, ADismountWithoutALockHoldsNothingAndAFileOpenKeepsTheVolumeMounted)
{
    ASSERT_TRUE(m_loop.Mount(MountDir("mnt")));
    std::unique_ptr<IDevice> pVolume = OpenVolume();
    ASSERT_NE(pVolume, nullptr);
    ASSERT_TRUE(pVolume->DismountVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_FALSE(IsMounted());
    ASSERT_TRUE(m_loop.Mount(MountDir("mnt")));

    auto pFile = std::make_unique<std::ofstream>(MountDir("mnt") + "/busy.txt");
    ASSERT_TRUE(pFile->is_open());
    ASSERT_TRUE(pVolume->LockVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_FALSE(pVolume->DismountVolume(m_nRequestError));
    EXPECT_EQ(m_nRequestError, static_cast<uint32_t>(EBUSY));
    EXPECT_TRUE(IsMounted());
    pFile.reset();
    ASSERT_TRUE(pVolume->DismountVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_FALSE(IsMounted());
    EXPECT_FALSE(m_loop.Mount(MountDir("mnt")));  // the lock taken before is held now
}

TEST_F(PosixVolumeTest, AVolumeNotMountedIsHeldAtOnceByOneHandleUntilUnlockedOrDropped)
{
    std::unique_ptr<IDevice> pVolume = OpenVolume();
    ASSERT_NE(pVolume, nullptr);
    EXPECT_FALSE(pVolume->UnlockVolume(m_nRequestError));  // nothing to unlock yet
    EXPECT_EQ(m_nRequestError, static_cast<uint32_t>(ENOLCK));
    ASSERT_TRUE(pVolume->LockVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_FALSE(m_loop.Mount(MountDir("mnt")));
    // Another handle cannot take the lock, nor dismount it from under the holder.
    std::unique_ptr<IDevice> pOther = OpenVolume();
    ASSERT_NE(pOther, nullptr);
    EXPECT_FALSE(pOther->LockVolume(m_nRequestError));
    EXPECT_EQ(m_nRequestError, static_cast<uint32_t>(EBUSY));
    EXPECT_TRUE(pVolume->DismountVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_TRUE(pVolume->LockVolume(m_nRequestError)) << m_nRequestError;  // locking again changes nothing
    EXPECT_TRUE(pVolume->UnlockVolume(m_nRequestError)) << m_nRequestError;
    EXPECT_TRUE(pOther->LockVolume(m_nRequestError)) << m_nRequestError;
    pOther.reset();  // dropping a locked volume releases it
    EXPECT_NE(Open(m_loop.Disk(), EOpenMode::WriteDrive), nullptr) << m_nError;
    EXPECT_TRUE(m_loop.Mount(MountDir("mnt")));
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

// A loop device answers the identification request without names (the
// drive list then still measures it), and it has no medium to move.
TEST_F(PosixVolumeTest, ALoopDiskHasNoNamesAndNoMediumToMove)
{
    for (const std::string& strPath : {m_loop.Disk(), m_loop.Partition()}) {
        SCOPED_TRACE(strPath);
        std::unique_ptr<IDevice> pDevice = Open(strPath, EOpenMode::Volume);
        ASSERT_NE(pDevice, nullptr) << m_nError;
        T_STORAGE_DESCRIPTOR descriptor;
        EXPECT_TRUE(pDevice->QueryStorageProperty(descriptor, m_nRequestError)) << m_nRequestError;
        EXPECT_EQ(descriptor.strVendor + descriptor.strProduct + descriptor.strSerial, "");
        EXPECT_FALSE(descriptor.bRemovableMedia);
        // A fixed disk is never told to stop or to open.
        using Request = bool (IDevice::*)(uint32_t&);
        for (Request pRequest : {&IDevice::AllowMediaRemoval, &IDevice::EjectMedia, &IDevice::LoadMedia}) {
            m_nRequestError = 0;
            EXPECT_FALSE(((*pDevice).*pRequest)(m_nRequestError));
            EXPECT_EQ(m_nRequestError, static_cast<uint32_t>(ENOTTY));
        }
    }
}

}  // namespace
