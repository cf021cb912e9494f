// The volumes the window holds: locks that skip what is held, unlocks,
// ejects that keep a held volume held, and locks dropped with their drive.
#include <gtest/gtest.h>

#include <map>

#include "drives/drive_kind.h"
#include "drives/fake/scripted_volume_scanner.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"
#include "jobs/volume_control.h"
#include "tests/support/recorder.h"

namespace {

T_VOLUME_STORAGE OnDisk(uint32_t nDisk, int32_t nPartition)
{
    T_VOLUME_STORAGE storage;
    storage.bOpened = storage.bNumber = storage.bExtents = true;
    storage.number = T_DEVICE_NUMBER{DEVICE_NUMBER_TYPE_DISK, nDisk, nPartition};
    storage.arrExtents = {T_DISK_EXTENT{nDisk, 0x100000, 0x100000}};
    return storage;
}

class VolumeControlTest : public ::testing::Test {
protected:
    // E: and F: on disk 1.
    VolumeControlTest() : m_capture(m_recorder)
    {
        Mount("E", OnDisk(1, 1));
        Mount("F", OnDisk(1, 2));
        m_drives.Refresh();
    }

    void Mount(const std::string& strLetter, const T_VOLUME_STORAGE& storage)
    {
        const std::string strVolume = "\\\\?\\Volume{" + strLetter + "}\\";
        m_scanner.MountLetter(strLetter, strVolume, DRIVE_TYPE_REMOVABLE);
        m_scanner.SetStorage(strVolume, storage);
        m_volumes[strLetter[0]] = CFakeDisk::WithPattern(4096);
        m_devices.Add(VolumePathOf(static_cast<size_t>(strLetter[0] - 'A')), m_volumes[strLetter[0]]);
    }
    CFakeVolume& Vol(char c) { return m_volumes[c]->Volume(); }

    CRecorder m_recorder;
    CLogCapture m_capture;
    CScriptedVolumeScanner m_scanner;
    CDriveInfo m_drives{m_scanner};
    CFakeDeviceProvider m_devices;
    std::map<char, std::shared_ptr<CFakeDisk>> m_volumes;
    CVolumeControl m_control{m_drives, m_devices};
};

TEST_F(VolumeControlTest, LockingADriveLocksOnlyTheVolumesNotHeldYet)
{
    uint32_t nError = 0;
    m_control.m_hLockVolume['E' - 'A'] = m_devices.Open(VolumePathOf('E' - 'A'), EOpenMode::Volume, nError);
    m_control.LockDriveVolumes(DRIVE_KIND_DISK, 1);
    EXPECT_TRUE(m_control.IsDriveLocked(DRIVE_KIND_DISK, 1));
    EXPECT_EQ(m_recorder.LogText(), "Volume F: locked.\n") << "E: was held already";
    EXPECT_EQ(Vol('E').RequestCount(EFakeRequest::Lock), 0u);
    EXPECT_FALSE(Vol('F').Mounted());
    EXPECT_EQ(m_control.LockedLetters(), (1u << 4) | (1u << 5));

    m_recorder.Clear();
    m_control.LockDriveVolumes(DRIVE_KIND_DISK, 1);
    EXPECT_EQ(m_recorder.LogText(), "");
    EXPECT_EQ(Vol('F').RequestCount(EFakeRequest::Lock), 1u);

    m_control.UnlockDriveVolumes(DRIVE_KIND_DISK, 1);
    // E:'s handle was put there without a lock: its unlock fails and it stays held.
    EXPECT_EQ(m_recorder.LogText(), "Volume E: unlock failed.\nVolume F: unlocked.\n");
    EXPECT_FALSE(Vol('F').Locked());
    EXPECT_TRUE(m_control.IsHeld('E' - 'A'));
    EXPECT_EQ(m_control.LockedLetters(), 1u << 4);
}

TEST_F(VolumeControlTest, ARefusedLockOrDismountLeavesTheLetterUnheld)
{
    Vol('E').FailRequest(EFakeRequest::Lock, SystemError::IoError());
    Vol('F').FailRequest(EFakeRequest::Dismount, SystemError::IoError());
    m_control.LockDriveVolumes(DRIVE_KIND_DISK, 1);
    EXPECT_EQ(m_recorder.LogText(), "Volume E: lock failed.\nVolume F: lock failed.\n");
    EXPECT_FALSE(m_control.IsHeld('E' - 'A'));
    EXPECT_FALSE(m_control.IsHeld('F' - 'A'));
    EXPECT_FALSE(Vol('F').Locked()) << "a failed dismount unlocks again";
    EXPECT_FALSE(m_control.IsDriveLocked(DRIVE_KIND_DISK, 1));
}

TEST_F(VolumeControlTest, EjectingAHeldVolumeKeepsItHeldWithANewHandleOrAfterAFailureTheOldOne)
{
    m_control.LockDriveVolumes(DRIVE_KIND_DISK, 1);
    const IDevice* pOldF = m_control.m_hLockVolume['F' - 'A'].get();
    m_recorder.Clear();
    m_control.EjectLockedVolume('E' - 'A');
    EXPECT_EQ(m_recorder.LogText(), "Volume E: unmount...OK.\nVolume E: eject...OK.\n");
    EXPECT_FALSE(Vol('E').MediaPresent());
    EXPECT_EQ(Vol('E').RequestCount(EFakeRequest::Lock), 2u) << "locked anew after the eject";
    EXPECT_TRUE(Vol('E').Locked() && m_control.IsDriveLocked(DRIVE_KIND_DISK, 1));

    Vol('F').FailRequest(EFakeRequest::Eject, SystemError::IoError());
    m_recorder.Clear();
    m_control.EjectLockedVolume('F' - 'A');
    EXPECT_TRUE(m_recorder.LogText().starts_with("Volume F: unmount...OK.\nVolume F: eject...failed.\n"))
        << m_recorder.LogText();
    EXPECT_EQ(m_control.m_hLockVolume['F' - 'A'].get(), pOldF);
}

TEST_F(VolumeControlTest, EjectMediaOfAnUnheldDriveTakesATemporaryLock)
{
    m_control.EjectMedia(DRIVE_KIND_DISK, 1);
    EXPECT_FALSE(Vol('E').MediaPresent());
    EXPECT_FALSE(Vol('E').Locked());
    EXPECT_FALSE(m_control.IsHeld('E' - 'A'));
    EXPECT_EQ(m_recorder.LogText(), "") << "the EJECT button logs nothing";
    m_control.LoadMedia(DRIVE_KIND_DISK, 1);
    EXPECT_TRUE(Vol('E').MediaPresent());
}

TEST_F(VolumeControlTest, ALockWhoseDriveWentAwayIsDroppedWithALine)
{
    m_control.LockDriveVolumes(DRIVE_KIND_DISK, 1);
    m_scanner.UnmountLetter("F");
    m_drives.Refresh();
    m_recorder.Clear();
    m_control.ReleaseLostLocks();
    EXPECT_EQ(m_recorder.LogText(), "Locked volume F is already invalid, because physical drive was lost.\n");
    EXPECT_TRUE(m_control.IsHeld('E' - 'A'));
    EXPECT_FALSE(m_control.IsHeld('F' - 'A'));
    EXPECT_FALSE(Vol('F').Locked());
}

TEST_F(VolumeControlTest, OneLetterIsLockedSilentlyWithOneRetryAndStaysHeldOnce)
{
    EXPECT_TRUE(m_control.LockLetter('E' - 'A'));
    EXPECT_TRUE(Vol('E').Locked() && !Vol('E').Mounted());
    EXPECT_FALSE(Vol('F').Locked()) << "only the letter asked for";
    EXPECT_EQ(m_recorder.LogText(), "") << "the caller logs with its reason";
    EXPECT_TRUE(m_control.LockLetter('E' - 'A'));
    EXPECT_EQ(Vol('E').RequestCount(EFakeRequest::Lock), 1u) << "a held letter is not locked again";
    // A lock refused once is tried again after a pause; refused twice, it fails.
    Vol('F').FailRequest(EFakeRequest::Lock, SystemError::IoError(), 1);
    EXPECT_TRUE(m_control.LockLetter('F' - 'A'));
    EXPECT_EQ(Vol('F').RequestCount(EFakeRequest::Lock), 2u);
    m_control.UnlockDriveVolumes(DRIVE_KIND_DISK, 1);
    Vol('F').FailRequest(EFakeRequest::Lock, SystemError::IoError());
    EXPECT_FALSE(m_control.LockLetter('F' - 'A'));
    EXPECT_EQ(Vol('F').RequestCount(EFakeRequest::Lock), 4u);
    EXPECT_FALSE(m_control.LockLetter('Q' - 'A')) << "no volume behind the letter";
    EXPECT_FALSE(m_control.LockLetter(26));
    EXPECT_EQ(m_control.LockedLetters(), 0u);
}

}  // namespace
