#pragma once
// Which controls of the main window can be used. While a job runs only the
// Stop button (and the log) can; when idle, the job buttons follow the
// checked rows, the image file and the options: Read wants exactly one
// checked row whose drive is ready; Write and Verify want an existing
// image and checked rows whose drive sizes equal the image's (unless the
// matching force option is on); Erase wants every checked row ready; no
// job writes to a CD-ROM drive.
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "ui/model/control_ids.h"
#include "ui/model/window_settings.h"

// What the decision looks at.
struct T_ROW_FACTS {
    bool bChecked = false;    // the enable box is checked
    bool bHasDrive = false;   // the drive box selects an entry
    uint32_t nKind = 0;       // the entry's drive kind
    bool bReady = false;      // the row's ready flag (row_display.h)
    uint64_t nSize = 0;       // the row's drive size
    bool bRemovable = false;  // IsRemovableDrive of the row's drive
    bool bCanLock = false;    // CanLockDrive of the row's drive
};

struct T_WINDOW_STATE {
    bool bDumpTask = false;  // a job runs
    std::array<T_ROW_FACTS, ROW_COUNT> rows;
    bool bImagePathEmpty = true;
    bool bImageExists = false;
    uint64_t nImageSize = 0;
    bool bHashValid = false;  // a compressed image's size is known
    bool bZlibLoaded = false;
    T_WINDOW_OPTIONS options;
};

struct T_ROW_ENABLES {
    bool bEnableBox = false;
    bool bDriveBox = false;
    bool bProgress = false;
    bool bProbe = false;
    bool bEject = false;
    bool bLock = false;
};

struct T_ENABLE_SET {
    bool bSetupMenu = false;
    std::array<T_ROW_ENABLES, ROW_COUNT> rows;
    bool bImagePath = false;
    bool bBrowse = false;
    bool bImageDigest = false;
    bool bImageVerdict = false;
    bool bImageProgress = false;
    bool bTotalProgress = false;
    bool bOptVerify = false;
    bool bOptEject = false;
    bool bOptShareRead = false;
    bool bOptForceWrite = false;
    bool bOptForceVerify = false;
    bool bOptCompareAfterWrite = false;
    bool bOptMakeMD5SUM = false;
    bool bOptUnstableRead = false;
    bool bOptCompressImage = false;
    bool bOptMD5Verify = false;
    bool bRead = false;
    bool bWrite = false;
    bool bVerify = false;
    bool bErase = false;
    bool bStop = false;
    bool bClose = false;
};

T_ENABLE_SET EnableSetOf(const T_WINDOW_STATE& state);

// The set as the window applies it: one (control id, enabled) pair per
// control, every control once. The settings command of the system menu is
// not a control and stays in the set's bSetupMenu.
using T_CONTROL_ENABLE = std::pair<uint32_t, bool>;
std::vector<T_CONTROL_ENABLE> ControlEnables(const T_ENABLE_SET& set);
