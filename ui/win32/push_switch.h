#pragma once
// An owner-drawn push button that shows an on/off state: the rows' LOCK
// switches. On, it shows its "on" face and text colours and a sunken edge;
// disabled, the plain face with engraved grey text whatever its state. A
// click only reports BN_CLICKED to the parent; the parent sets the state.
#include <windows.h>

class CPushSwitch {
public:
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Window() const { return m_hWnd; }
    // Sets the state; repaints only when it changed.
    void SetOn(bool bOn);
    // WM_DRAWITEM of this button.
    void DrawItem(const DRAWITEMSTRUCT& item) const;

    COLORREF m_crText = ::GetSysColor(COLOR_BTNTEXT);
    COLORREF m_crTextOn = 0x0000FF;
    COLORREF m_crFace = ::GetSysColor(COLOR_BTNFACE);
    COLORREF m_crFaceOn = 0x00FFFF;
    bool m_bOn = false;

private:
    HWND m_hWnd = nullptr;
};
