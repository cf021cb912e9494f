#pragma once
// Where the running system lives: the file systems it cannot do without
// (/, /boot, /usr) and its active swap. A drive that holds any of them is
// never written or erased, and its volumes are never unmounted: the job's
// pre-flight refuses that before anything is locked or unmounted.
#include <istream>
#include <string>
#include <vector>

#include "engine/device/device.h"

struct T_SYSTEM_PLACE {
    std::string strWhat;  // "the root file system (/)", "the active swap /dev/sda3"
    T_STORAGE storage;    // where its data lives
};

// The places of this system: the platform's answer, empty where it has no
// such notion or cannot tell. Nothing is opened for reading or writing.
std::vector<T_SYSTEM_PLACE> SystemPlaces();

// The first place whose data lives on the drive; null when none does.
const T_SYSTEM_PLACE* SystemPlaceOn(const T_STORAGE& drive, const std::vector<T_SYSTEM_PLACE>& arrPlaces);

// The swap areas in /proc/swaps text: the first field of each line after
// the heading, with the kernel's octal escapes ("\040" for a blank) undone.
std::vector<std::string> ParseProcSwaps(std::istream& in);
