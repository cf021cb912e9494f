#include "ui/win32/progress_info_ctrl.h"

#include <windows.h>

#include <commctrl.h>

#include "engine/core/win32/text_win32.h"

namespace {

constexpr UINT_PTR PROGRESS_SUBCLASS_ID = 0x5049;

COLORREF Scaled(COLORREF cr, double dFactor)
{
    const auto part = [dFactor](BYTE b) { return static_cast<BYTE>(static_cast<double>(b) * dFactor); };
    return RGB(part(GetRValue(cr)), part(GetGValue(cr)), part(GetBValue(cr)));
}

void FillSolid(HDC hdc, const RECT& rc, COLORREF cr)
{
    ::SetBkColor(hdc, cr);
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
}

}  // namespace

CProgressInfoCtrl::~CProgressInfoCtrl()
{
    if (m_font) ::DeleteObject(m_font);
}

void CProgressInfoCtrl::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetWindowTextW(hWnd, L"");
    LOGFONTW lf{};
    const HFONT hParentFont = reinterpret_cast<HFONT>(::SendMessageW(::GetParent(hWnd), WM_GETFONT, 0, 0));
    if (hParentFont && ::GetObjectW(hParentFont, sizeof lf, &lf) == sizeof lf) m_font = ::CreateFontIndirectW(&lf);
    ::SetWindowSubclass(hWnd, SubclassProc, PROGRESS_SUBCLASS_ID, reinterpret_cast<DWORD_PTR>(this));
}

void CProgressInfoCtrl::SetText(const std::string& strText, UINT nFormat)
{
    if (nFormat != m_nFormat) {
        m_nFormat = nFormat;
        Invalidate();
    }
    if (Text() != strText) ::SetWindowTextW(m_hWnd, Utf8ToWide(strText).c_str());
}

std::string CProgressInfoCtrl::Text() const
{
    wchar_t szText[512] = {};
    ::GetWindowTextW(m_hWnd, szText, 512);
    return WideToUtf8(szText);
}

void CProgressInfoCtrl::SetAllBars(int nPos)
{
    m_nPos.fill(nPos);
    m_bBarsChanged = false;
    Invalidate();
}

void CProgressInfoCtrl::Invalidate()
{
    if (m_hWnd) ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CProgressInfoCtrl::SetBarLater(size_t i, int nPos)
{
    if (i >= m_nPos.size() || m_nPos[i] == nPos) return;
    m_nPos[i] = nPos;
    m_bBarsChanged = true;
}

void CProgressInfoCtrl::SetTextLater(const std::string& strText, UINT nFormat)
{
    m_strPendingText = strText;
    m_nPendingFormat = nFormat;
    m_bTextPending = true;
}

void CProgressInfoCtrl::ShowPending()
{
    if (m_bTextPending) {
        m_bTextPending = false;
        SetText(m_strPendingText, m_nPendingFormat);
    }
    if (m_bBarsChanged) {
        m_bBarsChanged = false;
        Invalidate();
    }
}

LONG CProgressInfoCtrl::BarRight(size_t i) const
{
    const int nRange = m_nMax[i] - m_nMin[i];
    if (nRange == 0) return m_rcClient.left;
    const LONG nWidth = m_rcClient.right - m_rcClient.left;
    return m_rcClient.left + nWidth * (m_nPos[i] - m_nMin[i]) / nRange;
}

LRESULT CALLBACK CProgressInfoCtrl::SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR dwRef)
{
    auto* pThis = reinterpret_cast<CProgressInfoCtrl*>(dwRef);
    switch (uMsg) {
    case WM_SETTEXT: {
        const LRESULT lResult = ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
        ::InvalidateRect(hWnd, nullptr, TRUE);
        return lResult;
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        pThis->Paint();
        return 0;
    case WM_NCPAINT:
        pThis->PaintBorder();
        return 0;
    case WM_ENABLE:
        ::InvalidateRect(hWnd, nullptr, FALSE);
        return 0;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hWnd, SubclassProc, PROGRESS_SUBCLASS_ID);
        pThis->m_hWnd = nullptr;
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hWnd, uMsg, wParam, lParam);
}

void CProgressInfoCtrl::Paint()
{
    PAINTSTRUCT ps;
    const HDC hdcWindow = ::BeginPaint(m_hWnd, &ps);
    RECT rcAll;
    ::GetClientRect(m_hWnd, &rcAll);
    m_rcClient = rcAll;
    if (!m_bShaded) ::InflateRect(&m_rcClient, -1, -1);
    const HDC hdc = ::CreateCompatibleDC(hdcWindow);
    const HBITMAP hBitmap = ::CreateCompatibleBitmap(hdcWindow, rcAll.right, rcAll.bottom);
    const HGDIOBJ hOldBitmap = ::SelectObject(hdc, hBitmap);
    const HGDIOBJ hOldFont = m_font ? ::SelectObject(hdc, m_font) : nullptr;
    wchar_t szText[512] = {};
    ::GetWindowTextW(m_hWnd, szText, 512);
    ::SetBkMode(hdc, TRANSPARENT);
    if (::IsWindowEnabled(m_hWnd)) {
        FillSolid(hdc, rcAll, m_crBack);
        PaintEnabled(hdc, szText);
    } else {
        FillSolid(hdc, rcAll, ::GetSysColor(COLOR_BTNFACE));
        ::SetBkMode(hdc, TRANSPARENT);
        ::SetTextColor(hdc, ::GetSysColor(COLOR_GRAYTEXT));
        RECT rcText = m_rcClient;
        ::DrawTextW(hdc, szText, -1, &rcText, m_nFormat);
    }
    ::BitBlt(hdcWindow, 0, 0, rcAll.right, rcAll.bottom, hdc, 0, 0, SRCCOPY);
    if (hOldFont) ::SelectObject(hdc, hOldFont);
    ::SelectObject(hdc, hOldBitmap);
    ::DeleteObject(hBitmap);
    ::DeleteDC(hdc);
    ::EndPaint(m_hWnd, &ps);
}

void CProgressInfoCtrl::PaintEnabled(HDC hdc, const std::wstring& strText)
{
    std::array<RECT, 4> rcBars{};
    for (size_t i = 0; i < rcBars.size(); ++i) {
        rcBars[i] = m_rcClient;
        rcBars[i].right = BarRight(i);
        if (m_nMax[i] != m_nMin[i] && rcBars[i].right > rcBars[i].left) FillBar(hdc, rcBars[i], m_crBar[i]);
    }
    ::SetBkMode(hdc, TRANSPARENT);
    const auto drawClipped = [&](const RECT& rcClip, COLORREF crText) {
        const HRGN hRegion = ::CreateRectRgnIndirect(&rcClip);
        ::SelectClipRgn(hdc, hRegion);
        ::SetTextColor(hdc, crText);
        RECT rcText = m_rcClient;
        ::DrawTextW(hdc, strText.c_str(), -1, &rcText, m_nFormat);
        ::SelectClipRgn(hdc, nullptr);
        ::DeleteObject(hRegion);
    };
    drawClipped(m_rcClient, m_crText);
    for (size_t i = 0; i < rcBars.size(); ++i) {
        if (rcBars[i].right > rcBars[i].left) drawClipped(rcBars[i], m_crTextBar);
    }
}

void CProgressInfoCtrl::FillBar(HDC hdc, const RECT& rcBar, COLORREF crBar) const
{
    if (!m_bShaded) {
        FillSolid(hdc, rcBar, crBar);
        return;
    }
    const LONG nMid = (rcBar.top + rcBar.bottom) / 2;
    const double dStep = nMid > 0 ? 0.5 / static_cast<double>(nMid) : 0.0;
    double dFactor = 0.5;
    for (LONG y = rcBar.top; y < rcBar.bottom; ++y) {
        const RECT rcLine{rcBar.left, y, rcBar.right, y + 1};
        FillSolid(hdc, rcLine, Scaled(crBar, dFactor < 0.0 ? 0.0 : (dFactor > 1.0 ? 1.0 : dFactor)));
        dFactor += y < nMid - 1 ? dStep : -dStep;
    }
}

void CProgressInfoCtrl::PaintBorder()
{
    const LONG_PTR nExStyle = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    const LONG_PTR nStyle = ::GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    const HDC hdc = ::GetWindowDC(m_hWnd);
    RECT rc;
    ::GetWindowRect(m_hWnd, &rc);
    ::OffsetRect(&rc, -rc.left, -rc.top);
    const auto frame = [hdc](const RECT& r) {
        const HPEN hShadow = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW));
        const HPEN hLight = ::CreatePen(PS_SOLID, 1, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        const HGDIOBJ hOld = ::SelectObject(hdc, hShadow);
        ::MoveToEx(hdc, r.left, r.bottom - 1, nullptr);
        ::LineTo(hdc, r.left, r.top);
        ::LineTo(hdc, r.right - 1, r.top);
        ::SelectObject(hdc, hLight);
        ::LineTo(hdc, r.right - 1, r.bottom - 1);
        ::LineTo(hdc, r.left, r.bottom - 1);
        ::SelectObject(hdc, hOld);
        ::DeleteObject(hShadow);
        ::DeleteObject(hLight);
    };
    if ((nExStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE)) != 0 || (nStyle & WS_BORDER) != 0) {
        frame(rc);
        ::InflateRect(&rc, -1, -1);
        if ((nExStyle & WS_EX_CLIENTEDGE) != 0) frame(rc);
    }
    ::ReleaseDC(m_hWnd, hdc);
}
