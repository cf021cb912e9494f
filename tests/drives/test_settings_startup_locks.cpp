// The volumes locked when the settings are read, as the list the window
// carries out: which letters, in which order, with which disk ejected
// first.
#include <gtest/gtest.h>

#include <string>

#include "drives/settings_startup_locks.h"

namespace {

constexpr uint32_t DISK = 7, CDROM = 2, UNKNOWN = 0xFFFFFFFF;

// One word per lock: letter, device type:number, "!" to eject the disk
// first, "n" for the not-ready key.
std::string Plan(std::string strLetters, bool bNotReady, const std::vector<T_LETTER_VOLUME>& volumes)
{
    T_SETTINGS settings;
    settings.strLockDriveLetters = std::move(strLetters);
    settings.bLockNotReadyDrive = bNotReady;
    std::string strPlan;
    for (const T_STARTUP_LOCK& lock : PlanStartupLocks(settings, volumes)) {
        strPlan += std::string(strPlan.empty() ? "" : " ") + lock.chLetter +
                   std::to_string(static_cast<int32_t>(lock.dwDeviceType)) + ":" + std::to_string(lock.nDeviceNumber) +
                   (lock.bEjectDiskFirst ? "!" : "") + (lock.eKey == EStartupLockKey::LockNotReadyDrive ? "n" : "");
    }
    return strPlan;
}

}  // namespace

TEST(StartupLocks, TypedLettersComeFirstAndADiskIsEjectedBeforeItsLock)
{
    const std::vector<T_LETTER_VOLUME> volumes = {
        {U'C', DISK, 0}, {U'E', DISK, 1}, {U'F', DISK, 1}, {U'G', CDROM, 0}, {U'H', UNKNOWN, 0}, {U'I', DISK, -1}};
    EXPECT_EQ(Plan("", false, volumes), "");
    EXPECT_EQ(Plan("e", false, volumes), "E7:1!");
    // Each letter once, in typed order; only a disk with a number is
    // ejected; a letter without a volume asks for nothing.
    EXPECT_EQ(Plan("g,fe1FhIz", false, volumes), "G2:0 F7:1! E7:1! H-1:0 I7:-1");
    // Then every letter A to Z on a numbered disk; the window skips those
    // it holds by then.
    EXPECT_EQ(Plan("G", true, volumes), "G2:0 C7:0n E7:1n F7:1n");
    // Of several records of a letter (a folder mount point) the last counts.
    EXPECT_EQ(Plan("D", true, {{U'D', DISK, 0}, {U'd', DISK, 3}, {U'E', DISK, 2}, {U'D', CDROM, 1}}), "D2:1 E7:2n");
}
