#pragma once
// A modal dialog over one template of the program's resources: the
// derived class answers WM_INITDIALOG, WM_COMMAND and any other message it
// wants; IDOK and IDCANCEL end the dialog unless OnCommand took them. The
// two smallest dialogs of the window live here too: the version dialog and
// the write confirmation.
#include <windows.h>

#include <array>
#include <string>

#include "ui/model/control_ids.h"

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

// The version dialog: the icon, the product line with its build number and
// build date, the copyright and the comments of the version resource.
class CAboutDlg : public CModalDialog {
public:
    CAboutDlg();

protected:
    BOOL OnInitDialog() override;
};

// The write confirmation: the heading and the drives the write is about to
// overwrite, one line each; "実行" (OK) goes on, anything else stops.
class COverWriteDlg : public CModalDialog {
public:
    COverWriteDlg();
    std::string m_strMessage;
    std::array<std::string, ROW_COUNT> m_strDrive;

protected:
    BOOL OnInitDialog() override;
};
