#pragma once
// The volumes the main window locks when it reads the settings, worked out
// as a list that the window carries out in order (the locking itself is the
// window's volume operations). Two keys ask for locks:
//
// "LockDriveLetters": for each letter typed (each once), with the letter's
//   volume record: on a physical disk the window first ejects the disk's
//   media (EjectMedia of that disk), then, when it does not hold the letter
//   locked yet and CanLockDrive (device type, device number) is true, locks
//   "\\.\X:" with retry.
// "LockNotReadyDrive": for each letter A to Z whose volume lies on a
//   physical disk: when the window does not hold it locked at that moment
//   and the disk answers its length request with "not ready" (no medium),
//   it locks "\\.\X:" with retry.
//
// A letter without a volume record asks for nothing. A lock that succeeds
// is logged with the key that caused it (LogStartupLocked); one that fails
// is not logged.
#include <cstdint>
#include <span>
#include <vector>

#include "drives/settings_load.h"

// The device type of a physical disk in the storage stack.
constexpr uint32_t STARTUP_LOCK_DEVICE_TYPE_DISK = 7;

// What the start-up locks need to know of one volume record of the drive
// inventory.
struct T_LETTER_VOLUME {
    char32_t chLetter = 0;       // "A".."Z"
    uint32_t dwDeviceType = 0;   // storage device type; 0xFFFFFFFF when unknown
    int32_t nDeviceNumber = -1;  // negative when unknown
};

enum class EStartupLockKey { LockDriveLetters, LockNotReadyDrive };

struct T_STARTUP_LOCK {
    char chLetter = 0;  // "A".."Z"
    EStartupLockKey eKey = EStartupLockKey::LockDriveLetters;
    uint32_t dwDeviceType = 0;  // of the letter's volume record
    int32_t nDeviceNumber = -1;
    bool bEjectDiskFirst = false;  // EjectMedia (physical disk nDeviceNumber) before the lock
};

// The locks in the order the window tries them: the typed letters first,
// then the letters of disks that may hold no medium. Where a letter has
// several volume records, the last one counts.
std::vector<T_STARTUP_LOCK> PlanStartupLocks(const T_SETTINGS& settings, std::span<const T_LETTER_VOLUME> volumes);

// "Volume X: locked (gravelmoor.ini - <key>).\n" in the log.
void LogStartupLocked(const T_STARTUP_LOCK& lock);
