#pragma once
// When the window rebuilds its drive list. A device arriving or going
// rebuilds it at once; other device events and the shell's media and
// drive events arm a one-shot timer (timer 0) that rebuilds once things
// settle, each event arming it anew. A one-second timer (timer 3) flips
// the lamps' blink phase, and while no job runs it asks the removable
// drives that had no medium whether one arrived.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "drives/drive_list_build.h"

constexpr uint32_t TIMER_REFRESH = 0;
constexpr uint32_t TIMER_SECOND = 3;
constexpr uint32_t TIMER_SECOND_MS = 1000;
constexpr uint32_t REFRESH_AFTER_DEVICE_EVENT_MS = 1000;
constexpr uint32_t REFRESH_AFTER_SHELL_EVENT_MS = 100;

constexpr uintptr_t DBT_DEVICEARRIVAL_CODE = 0x8000;
constexpr uintptr_t DBT_DEVICEREMOVECOMPLETE_CODE = 0x8004;
// The shell events that may change the drive list: media inserted and
// removed, drive added and removed, an item or an image updated.
constexpr uint32_t SHELL_EVENTS_OF_DRIVES = 0xA1E0;

struct T_REFRESH_ACTION {
    bool bRefreshNow = false;
    bool bArmTimer = false;  // set the pending flag, (re)start timer 0
    uint32_t nTimerMs = 0;
};

// WM_DEVICECHANGE with this wParam.
T_REFRESH_ACTION OnDeviceChange(uintptr_t wParam);
// A shell change notification with this event mask.
T_REFRESH_ACTION OnShellChange(uint32_t nEventMask);

// The entries timer 3 asks about while no job runs: removable drives, not
// floppies, that had no medium when the list was built.
std::vector<size_t> MediaPollEntries(std::span<const T_ITEM_DATA> arrItems);

// Whether timer 3 rebuilds the list: a polled drive now has a medium.
using FnMediaPresent = std::function<bool(const T_ITEM_DATA& item)>;
bool MediaArrived(std::span<const T_ITEM_DATA> arrItems, const FnMediaPresent& isMediaPresent);

// What the window does with the image once a job has ended: a read made a
// new image, and a checksum that was asked for and never finished is asked
// for again.
bool RecheckImageAfterJob(int nTask, bool bHashRequest);
