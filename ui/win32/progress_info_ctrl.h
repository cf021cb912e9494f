#pragma once
// A progress display of up to four overlaid bars and one text, over one of
// the dialog's progress controls. Bar i covers the share
// (pos - min) / (max - min) of the width from the left; a later bar covers
// an earlier one. The text (the control's window text) is drawn centred or
// right-aligned, in m_crTextBar over the bars and in m_crText elsewhere.
// Disabled, the control shows only its text, grey on the button face.
//
// The owner changes the fields and then calls Invalidate; it may change
// them many times between two paintings (the window repaints its progress
// controls a few times a second at most).
#include <windows.h>

#include <array>
#include <cstddef>
#include <string>

class CProgressInfoCtrl {
public:
    CProgressInfoCtrl() = default;
    ~CProgressInfoCtrl();
    CProgressInfoCtrl(const CProgressInfoCtrl&) = delete;
    CProgressInfoCtrl& operator=(const CProgressInfoCtrl&) = delete;

    // Takes over the dialog's control: empties its text and copies the
    // parent's font.
    void Attach(HWND hWnd);
    HWND Window() const { return m_hWnd; }

    // The text and its DrawText format; repaints when either changed.
    void SetText(const std::string& strText, UINT nFormat);
    std::string Text() const;
    // All four bars to nPos.
    void SetAllBars(int nPos);
    void Invalidate();

    // Changes kept for the next ShowPending: reports that come faster than
    // the window repaints only leave their last value.
    void SetBarLater(size_t i, int nPos);
    void SetTextLater(const std::string& strText, UINT nFormat);
    void ShowPending();

    COLORREF m_crText = 0x000000;
    COLORREF m_crTextBar = 0xFFFFFF;
    std::array<COLORREF, 4> m_crBar = {0x800000, 0xFF0000, 0x00FF00, 0x0000FF};
    COLORREF m_crBack = ::GetSysColor(COLOR_BTNFACE);
    HFONT m_font = nullptr;
    UINT m_nFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    RECT m_rcClient{};
    bool m_bShaded = false;
    std::array<int, 4> m_nPos = {0, 0, 0, 0};
    std::array<int, 4> m_nMax = {100, 100, 100, 100};
    std::array<int, 4> m_nMin = {0, 0, 0, 0};

    // The right edge of bar i within m_rcClient; the left edge when the
    // bar's range is empty.
    LONG BarRight(size_t i) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT_PTR uId,
                                         DWORD_PTR dwRef);
    void Paint();
    void PaintEnabled(HDC hdc, const std::wstring& strText);
    void FillBar(HDC hdc, const RECT& rcBar, COLORREF crBar) const;
    void PaintBorder();

    HWND m_hWnd = nullptr;
    bool m_bBarsChanged = false;
    bool m_bTextPending = false;
    std::string m_strPendingText;
    UINT m_nPendingFormat = 0;
};
