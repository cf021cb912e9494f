#pragma once
// The setup settings as the main window uses them. Its LoadSettings, at
// start-up and after the setup dialog closed with OK, runs in this order:
//   1. LoadSettings below: the flags, the letter masks and the buffer limit;
//   2. hands dwNoScanMask to the drive inventory and refreshes it;
//   3. PlanStartupLocks (settings_startup_locks.h) over the refreshed
//      inventory, carrying the locks out in the order given;
//   4. builds the drive list, then loads its own options.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "drives/profile_store.h"
#include "drives/settings_keys.h"

// GetDriveTypeW of a letter's root "X:\": 0 unknown, 1 no volume, 2
// removable, 3 fixed, 4 remote, 5 CD-ROM, 6 RAM disk.
using FnDriveTypeOfLetter = std::function<uint32_t(char chLetter)>;

struct T_SETTINGS {
    uint32_t dwNoScanMask = 0;  // letters the inventory skips; never a hidden one
    uint32_t dwHideMask = 0;    // letters whose drives the list leaves out
    bool bShowRemovableOnly = false;
    bool bHideNoDriveLetter = false;
    bool bShowCDROM = false;
    bool bShowFLOPPY = false;
    std::string strLockDriveLetters;  // as typed; volumes locked at start-up
    bool bLockNotReadyDrive = false;  // lock the volumes of disks without a medium
    int32_t nBufferMiB = BUFFER_MIB_MIN;  // a job's buffer limit, at least 16
    uint32_t nCompressThreads = 0;         // 0: the machine's default
    // Log lines for what the file holds in vain: a number out of its key's
    // range (the default is used instead), keys outside the section.
    std::vector<std::string> arrWarnings;
};

// Reads every key of the setup settings. With "ShowRemovableOnly" set, each
// letter whose drive type is not "no volume", removable or CD-ROM joins the
// hide mask; a hidden letter is always examined, so it leaves the no-scan
// mask.
T_SETTINGS LoadSettings(IProfileStore& store, const std::string& strPath, const FnDriveTypeOfLetter& driveTypeOf);

// "Buffer" read as an integer, below 16 (or not a number) taken as 16; above
// BUFFER_MIB_MAX it is 16 too, with a warning added to pWarnings.
int32_t ReadBufferMiB(IProfileStore& store, const std::string& strPath,
                      std::vector<std::string>* pWarnings = nullptr);
// "CompressThreads" read as an integer: 0 (the default) below 1 or when not
// a number; above 64 also 0, with a warning.
uint32_t ReadCompressThreads(IProfileStore& store, const std::string& strPath,
                             std::vector<std::string>* pWarnings = nullptr);
// A warning for each section other than ours that holds keys, and for keys
// above the first section: nothing there is ever read.
void AddStrayKeyWarnings(IProfileStore& store, const std::string& strPath, std::vector<std::string>& arrWarnings);

// Drive letters as bit masks, bit 0 = A: to bit 25 = Z:. A letter list is
// the text the operator typed: letters of either case count, everything
// else and repetitions are ignored, so "ab1" and "BAb" are A: and B:.
uint32_t LetterMask(std::string_view strLetters);

// The letters of a list in the order typed, upper case, each once.
std::vector<char> LetterSequence(std::string_view strLetters);

constexpr uint32_t LetterBit(char chUpper)
{
    return uint32_t{1} << (chUpper - 'A');
}
