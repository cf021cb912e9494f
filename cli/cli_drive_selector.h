#pragma once
// The DRIVE words of the command line. A drive of the list is named by its
// selector: "disk:N", "cdrom:N", or "floppy:X" where floppy drives have
// letters (Windows). Any other word is a path. A path that opens the same
// device as a listed drive (its node under another name, a /dev/disk/by-id
// link) is that drive, so the job treats its volumes as the drive's; any
// other path (a file, a device the list does not show) is a path drive
// with no volumes. A partition is refused: jobs work on whole drives.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_inventory.h"

// One drive of a job, ready for a slot of the job description.
struct T_CLI_DRIVE {
    uint32_t nKind = 0;    // DRIVE_KIND_DISK, _CDROM, _FLOPPY, or DRIVE_KIND_PATH
    uint32_t nNumber = 0;  // the listed drive's number; 0 for a path
    std::string strPath;   // the device path to open (a path drive's own path)
    std::string strText;   // the list's display text, or the path
    uint64_t nSize = 0;    // bytes; 0 when it could not be measured
};

// Whether a word is a selector (disk:N, cdrom:N, floppy:X, any case)
// rather than a path.
bool IsDriveSelector(const std::string& strWord);
// The drive a word names; false with a one-line reason (no line end) when
// it names none: an unknown or malformed selector, a path that cannot be
// opened, a partition.
bool ResolveDrive(CCliInventory& inventory, const std::string& strWord, T_CLI_DRIVE& drive, std::string& strError,
                  bool bFloppyLetters = FloppiesHaveLetters());
// Every word in order; each one refused is logged as an error line, all of
// them. False when any was refused.
bool ResolveDrives(CCliInventory& inventory, const std::vector<std::string>& arrWords,
                   std::vector<T_CLI_DRIVE>& arrDrives, bool bFloppyLetters = FloppiesHaveLetters());

// The selector that names a listed drive ("disk:1", "floppy:A"); a floppy
// where floppies have no letters is named by its path.
std::string DriveSelector(const T_ITEM_DATA& item, bool bFloppyLetters = FloppiesHaveLetters());
