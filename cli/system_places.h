#pragma once
// Where the running system lives: the file systems it cannot do without
// and its active swap. A drive that holds any of them is never written or
// erased from the command line, whatever the operator answers.
#include <string>
#include <vector>

#include "engine/device/device.h"

struct T_SYSTEM_PLACE {
    std::string strWhat;  // "the root file system (/)", "active swap /dev/sda3"
    T_STORAGE storage;    // where its data lives
};

// The places of this system (the platform's answer; none where it has no
// such notion).
std::vector<T_SYSTEM_PLACE> SystemPlaces();

// The first place whose data lives on the drive; null when none does.
const T_SYSTEM_PLACE* SystemPlaceOn(const T_STORAGE& drive, const std::vector<T_SYSTEM_PLACE>& arrPlaces);
