#include "engine/core/win32/window_notify_target.h"

bool CWindowNotifyTarget::Post(uint32_t uMsg, WPARAM_T wParam, LPARAM_T lParam)
{
    // A null window would post to the calling thread's own queue, which a
    // worker never reads.
    if (!m_hWnd) return false;
    return ::PostMessageW(m_hWnd, uMsg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)) != FALSE;
}
