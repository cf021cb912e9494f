// Drive list refresh decisions.
#include "ui/model/refresh_rules.h"

#include "drives/drive_kind.h"
#include "jobs/job_runner_param.h"

T_REFRESH_ACTION OnDeviceChange(uintptr_t wParam)
{
    T_REFRESH_ACTION action;
    if (wParam == DBT_DEVICEARRIVAL_CODE || wParam == DBT_DEVICEREMOVECOMPLETE_CODE) {
        action.bRefreshNow = true;
    } else {
        action.bArmTimer = true;
        action.nTimerMs = REFRESH_AFTER_DEVICE_EVENT_MS;
    }
    return action;
}

T_REFRESH_ACTION OnShellChange(uint32_t nEventMask)
{
    T_REFRESH_ACTION action;
    if (nEventMask & SHELL_EVENTS_OF_DRIVES) {
        action.bArmTimer = true;
        action.nTimerMs = REFRESH_AFTER_SHELL_EVENT_MS;
    }
    return action;
}

std::vector<size_t> MediaPollEntries(std::span<const T_ITEM_DATA> arrItems)
{
    std::vector<size_t> arrEntries;
    for (size_t i = 0; i < arrItems.size(); ++i) {
        const T_ITEM_DATA& item = arrItems[i];
        if (item.bRemovable && item.nKind != DRIVE_KIND_FLOPPY && item.bNotReady) arrEntries.push_back(i);
    }
    return arrEntries;
}

bool MediaArrived(std::span<const T_ITEM_DATA> arrItems, const FnMediaPresent& isMediaPresent)
{
    // Every polled drive is asked, as the window asks them all each second.
    bool bArrived = false;
    for (size_t i : MediaPollEntries(arrItems)) bArrived = isMediaPresent(arrItems[i]) || bArrived;
    return bArrived;
}

bool RecheckImageAfterJob(int nTask, bool bHashRequest)
{
    return nTask == DUMPTASK_READ || bHashRequest;
}
