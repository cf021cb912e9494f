// The start-up locks worked out from the settings and the inventory.
#include "drives/settings_startup_locks.h"

#include <optional>

#include "engine/core/log.h"

namespace {

char32_t UpperAscii(char32_t c)
{
    return c >= U'a' && c <= U'z' ? c - U'a' + U'A' : c;
}

// The last record of the letter.
std::optional<T_LETTER_VOLUME> FindVolume(std::span<const T_LETTER_VOLUME> volumes, char chLetter)
{
    std::optional<T_LETTER_VOLUME> found;
    for (const T_LETTER_VOLUME& volume : volumes) {
        if (UpperAscii(volume.chLetter) == static_cast<char32_t>(chLetter)) found = volume;
    }
    return found;
}

bool IsOnPhysicalDisk(const T_LETTER_VOLUME& volume)
{
    return volume.nDeviceNumber >= 0 && volume.dwDeviceType == STARTUP_LOCK_DEVICE_TYPE_DISK;
}

T_STARTUP_LOCK LockOf(char chLetter, EStartupLockKey eKey, const T_LETTER_VOLUME& volume)
{
    T_STARTUP_LOCK lock;
    lock.chLetter = chLetter;
    lock.eKey = eKey;
    lock.dwDeviceType = volume.dwDeviceType;
    lock.nDeviceNumber = volume.nDeviceNumber;
    return lock;
}

}  // namespace

std::vector<T_STARTUP_LOCK> PlanStartupLocks(const T_SETTINGS& settings, std::span<const T_LETTER_VOLUME> volumes)
{
    std::vector<T_STARTUP_LOCK> locks;
    for (char chLetter : LetterSequence(settings.strLockDriveLetters)) {
        const std::optional<T_LETTER_VOLUME> volume = FindVolume(volumes, chLetter);
        if (!volume) continue;
        T_STARTUP_LOCK lock = LockOf(chLetter, EStartupLockKey::LockDriveLetters, *volume);
        lock.bEjectDiskFirst = IsOnPhysicalDisk(*volume);
        locks.push_back(lock);
    }
    if (!settings.bLockNotReadyDrive) return locks;
    for (char chLetter = 'A'; chLetter <= 'Z'; ++chLetter) {
        const std::optional<T_LETTER_VOLUME> volume = FindVolume(volumes, chLetter);
        if (volume && IsOnPhysicalDisk(*volume))
            locks.push_back(LockOf(chLetter, EStartupLockKey::LockNotReadyDrive, *volume));
    }
    return locks;
}

void LogStartupLocked(const T_STARTUP_LOCK& lock)
{
    if (lock.eKey == EStartupLockKey::LockDriveLetters)
        LogInfo("Volume %c: locked (gravelmoor.ini - LockDriveLetters).\n", lock.chLetter);
    else
        LogInfo("Volume %c: locked (gravelmoor.ini - LockNotReadyDrive).\n", lock.chLetter);
}
