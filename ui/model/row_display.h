#pragma once
// What a drive row shows of its drive: the text in its progress control
// (the size in bytes, "NOT READY" or "ERROR", nothing without a drive),
// whether the row is ready for a job, and its LOCK switch; and the drive
// lines of the write confirmation and of the erase-method dialog: one per
// checked row that shows a drive, "text (size in bytes)", in row order,
// which the dialogs list one per line with no gap for a row that takes no
// part.
#include <array>
#include <cstdint>
#include <string>

#include "drives/drive_list_build.h"
#include "ui/model/control_ids.h"

constexpr const char* ROW_TEXT_NOT_READY = "NOT READY";
constexpr const char* ROW_TEXT_ERROR = "ERROR";

struct T_ROW_TEXT {
    std::string strText;
    bool bReady = false;  // only a drive whose size is known is ready
    uint64_t nSize = 0;
};

// The text of the row's entry; pItem null: the row shows no drive.
T_ROW_TEXT RowTextOf(const T_ITEM_DATA* pItem);

// The row's LOCK switch: on when the row's drive has all its volumes held
// by the window, usable only for a drive whose volumes can be locked and a
// row that is checked (and whose enable box can be used at all).
struct T_LOCK_SWITCH {
    bool bOn = false;
    bool bEnabled = false;
};

struct T_LOCK_FACTS {
    bool bHasDrive = false;     // the row selects an entry
    bool bDriveLocked = false;  // IsDriveLocked of the row's drive
    bool bCanLock = false;      // CanLockDrive of the row's drive
    bool bRowChecked = false;   // the enable box is checked
    bool bEnableBoxUsable = false;  // the enable box is enabled (no job runs)
};
T_LOCK_SWITCH LockSwitchOf(const T_LOCK_FACTS& facts);

// The entry's display text with its first character set to the lock mark:
// "*" when the window holds the drive's volumes, a blank otherwise.
std::string WithLockMark(std::string strText, bool bLocked);

// pItems[r]: row r's entry when the row is checked and shows a drive, else null.
std::array<std::string, ROW_COUNT> ConfirmationLines(const std::array<const T_ITEM_DATA*, ROW_COUNT>& pItems);

// The text of the dialogs' drive list static.
std::string DriveLinesText(const std::array<std::string, ROW_COUNT>& arrLines);

constexpr const char* OVERWRITE_HEADING = "下記のドライブにイメージを書き込みます。";
constexpr const char* ERASE_HEADING = "下記のドライブを消去します。";
