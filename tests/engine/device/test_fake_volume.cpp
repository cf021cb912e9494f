// The fake disk's storage and volume requests, as engine and job tests use
// them: answers set by the test, faults on demand, counts, and the mount and
// medium states that follow the requests (the lock's are the job tests').
#include <gtest/gtest.h>

#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"

namespace {

class FakeVolumeTest : public ::testing::Test {
protected:
    void SetUp() override { m_devices.Add(VOLUME, m_pDisk); }

    std::unique_ptr<IDevice> OpenVolume()
    {
        uint32_t nError = 0;
        std::unique_ptr<IDevice> pVolume = m_devices.Open(VOLUME, EOpenMode::Volume, nError);
        EXPECT_NE(pVolume, nullptr) << nError;
        return pVolume;
    }

    const std::string VOLUME = "fake:volume";
    std::shared_ptr<CFakeDisk> m_pDisk = CFakeDisk::WithPattern(4096);
    CFakeDeviceProvider m_devices;
    uint32_t m_nError = 0;
};

TEST_F(FakeVolumeTest, QueriesGiveWhatTheTestSetAndNothingBefore)
{
    std::unique_ptr<IDevice> pVolume = OpenVolume();
    T_DEVICE_NUMBER number;
    std::vector<T_DISK_EXTENT> arrExtents;
    EXPECT_FALSE(pVolume->GetDeviceNumber(number, m_nError));
    EXPECT_EQ(m_nError, SystemError::NotSupported());
    EXPECT_FALSE(pVolume->GetVolumeDiskExtents(arrExtents, m_nError));
    m_pDisk->Volume().SetDeviceNumber(T_DEVICE_NUMBER{DEVICE_NUMBER_TYPE_DISK, 3, 2});
    m_pDisk->Volume().SetDiskExtents({{3, 1024, 2048}, {4, 0, 512}});
    ASSERT_TRUE(pVolume->GetDeviceNumber(number, m_nError));
    EXPECT_EQ(number.PartitionNumber, 2);
    ASSERT_TRUE(pVolume->GetVolumeDiskExtents(arrExtents, m_nError));
    EXPECT_EQ(arrExtents.size(), 2u);
    EXPECT_EQ(m_pDisk->Volume().RequestCount(EFakeRequest::DeviceNumber), 2u);
}

TEST_F(FakeVolumeTest, AnInjectedFaultFailsTheGivenNumberOfRequestsAndChangesNothing)
{
    std::unique_ptr<IDevice> pVolume = OpenVolume();
    m_pDisk->Volume().FailRequest(EFakeRequest::Lock, 5, 2);
    m_pDisk->Volume().FailRequest(EFakeRequest::Dismount, SystemError::NotReady());
    for (int i = 0; i < 2; ++i) {
        m_nError = 0;
        EXPECT_FALSE(pVolume->LockVolume(m_nError));
        EXPECT_EQ(m_nError, 5u);
        EXPECT_FALSE(m_pDisk->Volume().Locked());
    }
    EXPECT_TRUE(pVolume->LockVolume(m_nError));
    EXPECT_FALSE(pVolume->DismountVolume(m_nError));
    EXPECT_EQ(m_nError, SystemError::NotReady());
    EXPECT_TRUE(m_pDisk->Volume().Mounted());
    EXPECT_EQ(m_pDisk->Volume().RequestCount(EFakeRequest::Dismount), 1u);
}

TEST_F(FakeVolumeTest, AnEjectedMediumAnswersNotReadyUntilLoaded)
{
    std::unique_ptr<IDevice> pVolume = OpenVolume();
    ASSERT_TRUE(pVolume->DismountVolume(m_nError));
    EXPECT_FALSE(m_pDisk->Volume().Mounted());
    ASSERT_TRUE(pVolume->AllowMediaRemoval(m_nError));
    EXPECT_TRUE(m_pDisk->Volume().RemovalAllowed());
    ASSERT_TRUE(pVolume->EjectMedia(m_nError));
    uint64_t nSize = 0;
    EXPECT_FALSE(GetDiskSize(*pVolume, nSize, m_nError));
    EXPECT_EQ(m_nError, SystemError::NotReady());
    uint8_t byte = 0;
    EXPECT_EQ(pVolume->ReadAt(0, &byte, 1).nError, SystemError::NotReady());

    m_pDisk->Volume().FailRequest(EFakeRequest::Load, SystemError::IoError(), 1);
    EXPECT_FALSE(pVolume->LoadMedia(m_nError));
    EXPECT_FALSE(m_pDisk->Volume().MediaPresent());
    ASSERT_TRUE(pVolume->LoadMedia(m_nError));
    EXPECT_TRUE(GetDiskSize(*pVolume, nSize, m_nError) && nSize == 4096u);
    EXPECT_EQ(m_pDisk->Volume().RequestCount(EFakeRequest::Eject), 1u);
    EXPECT_EQ(m_pDisk->Volume().RequestCount(EFakeRequest::Load), 2u);
}

}  // namespace
