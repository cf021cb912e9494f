#pragma once
// The drive list: every disk, CD-ROM drive and floppy drive that can be
// opened, measured and described, in the order disks, CD-ROM drives,
// floppies, each with its display text (" DRIVE#01 (E:, F:) ( 14.91GiB)
// USB     Flash Disk      "). The window's drive boxes and the command
// line's list show it; which drives appear is decided by the settings.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "drives/drive_info.h"
#include "drives/volume_scanner.h"
#include "engine/device/device.h"

// One entry of the list.
struct T_ITEM_DATA {
    uint32_t nKind = 0;
    uint32_t nNumber = 0;  // disk or CD-ROM number; a floppy's letter index (Windows) or N (Linux)
    uint64_t nSize = 0;
    std::string strText;     // the display text
    std::string strLetters;  // the letters of its volumes, each as the inventory names it, joined by ","
    std::vector<std::string> arrLetters;
    std::string strPath;  // the device path it is opened with
    std::string strVendor;
    std::string strProduct;
    std::string strRevision;
    std::string strSerial;
    bool bLocked = false;
    bool bNotReady = false;
    bool bError = false;
    bool bRemovable = false;
};

// Which drives are listed (the settings), and which letters the window
// holds locked.
struct T_DRIVE_LIST_OPTIONS {
    uint32_t dwNoScanLetters = 0;
    uint32_t dwHideLetters = 0;  // a drive with one of these letters is not listed
    uint32_t dwLockedLetters = 0;
    bool bShowCDROM = true;
    bool bShowFloppy = true;
    bool bShowRemovableOnly = false;
    bool bHideNoDriveLetter = false;
    // When set, only the drives it accepts (by device path) are opened and
    // listed: a job that names its drives leaves every other drive alone,
    // so a sleeping or failing disk is not woken or waited for.
    std::function<bool(const std::string& strPath)> fnProbeOnly;
};

// The highest disk or CD-ROM number probed.
constexpr uint32_t MAX_DRIVE_NUMBER = 255;

// Refreshes the inventory and builds the list.
std::vector<T_ITEM_DATA> BuildDriveItems(CDriveInfo& drives, IVolumeScanner& scanner, IDeviceProvider& devices,
                                         const T_DRIVE_LIST_OPTIONS& options);

// A drive has volumes, and every one is on a removable or CD-ROM root.
bool IsRemovableDriveOf(const CDriveInfo& drives, uint32_t nKind, uint32_t nNumber);
