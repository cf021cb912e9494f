#pragma once
// A modal dialog over one template of the program's resources: the
// derived class answers WM_INITDIALOG, WM_COMMAND and any other message it
// wants; IDOK and IDCANCEL end the dialog unless OnCommand took them.
#include <windows.h>

class CModalDialog {
public:
    explicit CModalDialog(int nTemplateId) : m_nTemplateId(nTemplateId) {}
    virtual ~CModalDialog() = default;
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;

    // IDOK, IDCANCEL, or -1 when the dialog could not be shown.
    INT_PTR DoModal(HWND hParent);
    HWND Window() const { return m_hWnd; }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // True when the command was handled.
    virtual bool OnCommand(WORD nId, WORD nCode) { return (void)nId, (void)nCode, false; }
    virtual void OnOK() { ::EndDialog(m_hWnd, IDOK); }

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    const int m_nTemplateId;
};
