#include "ui/win32/push_switch.h"

#include <windows.h>

void CPushSwitch::SetOn(bool bOn)
{
    if (m_bOn == bOn) return;
    m_bOn = bOn;
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CPushSwitch::DrawItem(const DRAWITEMSTRUCT& item) const
{
    const HDC hdc = item.hDC;
    const bool bDisabled = (item.itemState & ODS_DISABLED) != 0;
    const bool bPressed = (item.itemState & ODS_SELECTED) != 0;
    RECT rc = item.rcItem;
    ::SetBkColor(hdc, m_bOn && !bDisabled ? m_crFaceOn : m_crFace);
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);

    wchar_t szText[64] = {};
    ::GetWindowTextW(item.hwndItem, szText, 64);
    RECT rcText = rc;
    if (bPressed || m_bOn) ::OffsetRect(&rcText, 2, 2);
    ::SetBkMode(hdc, TRANSPARENT);
    const UINT nFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (bDisabled) {
        RECT rcShadow = rcText;
        ::OffsetRect(&rcShadow, 1, 1);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextW(hdc, szText, -1, &rcShadow, nFormat);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_GRAYTEXT));
    } else {
        ::SetTextColor(hdc, m_bOn ? m_crTextOn : m_crText);
    }
    ::DrawTextW(hdc, szText, -1, &rcText, nFormat);

    ::DrawEdge(hdc, &rc, bPressed || m_bOn ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    if ((item.itemState & ODS_FOCUS) != 0) {
        ::InflateRect(&rc, -4, -4);
        ::DrawFocusRect(hdc, &rc);
    }
}
