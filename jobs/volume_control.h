#pragma once
// The volumes the operator holds locked between jobs (a row's LOCK switch),
// the medium of a drive ejected or loaded (its EJECT button), and a held
// volume ejected when a job ends well. The held locks live in one owner
// object, which the window keeps; a lock lasts while its handle is open.
// A drive's volumes are the letters the inventory gives it (partitions on
// Linux, where a lock is the unmount plus an exclusive hold).
#include <array>
#include <memory>
#include <string>

#include "drives/drive_info.h"
#include "engine/device/device.h"

class CVolumeControl {
public:
    static constexpr size_t LETTERS = 26;

    CVolumeControl(CDriveInfo& drives, IDeviceProvider& devices) : m_drives(drives), m_devices(devices) {}
    virtual ~CVolumeControl() = default;
    CVolumeControl(const CVolumeControl&) = delete;
    CVolumeControl& operator=(const CVolumeControl&) = delete;

    // False only when the drive reports that it holds no medium.
    bool IsMediaPresent(uint32_t nKind, uint32_t nNumber, const std::string& strDrivePath);
    // Loads the medium (closes the tray) through each volume of the drive.
    void LoadMedia(uint32_t nKind, uint32_t nNumber);
    // Ejects the medium of every volume; a held volume stays held.
    void EjectMedia(uint32_t nKind, uint32_t nNumber);
    // Locks and dismounts every volume of the drive not held yet.
    void LockDriveVolumes(uint32_t nKind, uint32_t nNumber);
    // Unlocks every held volume of the drive.
    void UnlockDriveVolumes(uint32_t nKind, uint32_t nNumber);
    // The drive has volumes and every one is held.
    bool IsDriveLocked(uint32_t nKind, uint32_t nNumber) const;
    // The drive has volumes, none of them a floppy or on a CD-ROM drive.
    bool CanLockDrive(uint32_t nKind, uint32_t nNumber) const;
    // The job-end eject of one held volume; it is held again afterwards.
    void EjectLockedVolume(size_t nLetter);
    // Locks and dismounts one letter's volume (twice with a pause when the
    // first lock is refused) and holds it; true when it is held afterwards.
    // The start-up locks of the settings go through here.
    bool LockLetter(size_t nLetter);
    // Drops the held locks whose volume left the inventory.
    void ReleaseLostLocks();

    // The letters held, as a mask (bit 0 = A:), for a job's description.
    uint32_t LockedLetters() const;
    bool IsHeld(size_t nLetter) const { return nLetter < LETTERS && m_hLockVolume[nLetter] != nullptr; }

    // One handle per letter; null when the letter is not held.
    std::array<std::unique_ptr<IDevice>, LETTERS> m_hLockVolume;

private:
    // The drive's letters as indexes 0..25; a letter outside A..Z gives -1.
    std::vector<int> LettersOf(uint32_t nKind, uint32_t nNumber) const;
    // Open, lock (twice with a pause when bRetry), dismount; null on failure.
    std::unique_ptr<IDevice> LockSequence(const std::string& strPath, bool bRetry);
    void Relock(size_t nLetter);

    CDriveInfo& m_drives;
    IDeviceProvider& m_devices;
};

// "\\.\E:" of a letter index.
std::string VolumePathOf(size_t nLetter);
