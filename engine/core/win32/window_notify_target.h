#pragma once
// The notify port over a window: every message is posted to the window's
// queue with PostMessageW. Heap strings (UTF-8 arrays from NewHeapString)
// travel in lParam; the window frees them with FreeHeapString after use.
#include <windows.h>

#include "engine/core/notify.h"

class CWindowNotifyTarget : public INotifyTarget {
public:
    explicit CWindowNotifyTarget(HWND hWnd) : m_hWnd(hWnd) {}

    // False when there is no window or its queue refused the message.
    bool Post(uint32_t uMsg, WPARAM_T wParam, LPARAM_T lParam) override;
    HWND Window() const { return m_hWnd; }

private:
    const HWND m_hWnd;
};
