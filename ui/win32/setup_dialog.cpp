#include "ui/win32/setup_dialog.h"

#include <windows.h>

#include "drives/settings_setup.h"
#include "engine/core/win32/text_win32.h"
#include "ui/win32/resource.h"

namespace {

void SetCheck(HWND hDlg, int nId, bool bChecked)
{
    ::CheckDlgButton(hDlg, nId, bChecked ? BST_CHECKED : BST_UNCHECKED);
}

bool Checked(HWND hDlg, int nId)
{
    return ::IsDlgButtonChecked(hDlg, nId) == BST_CHECKED;
}

}  // namespace

CInitSetupDlg::CInitSetupDlg(IProfileStore& store, std::string strPath)
    : CModalDialog(IDD_INIT_SETUP), m_store(store), m_strPath(std::move(strPath))
{
}

BOOL CInitSetupDlg::OnInitDialog()
{
    const T_SETUP_VALUES values = ReadSetupValues(m_store, m_strPath);
    SetItemTextUtf8(m_hWnd, IDC_SETUP_NO_SCAN, values.strNoScanDriveLetters);
    SetItemTextUtf8(m_hWnd, IDC_SETUP_HIDE, values.strHideDriveLetters);
    SetItemTextUtf8(m_hWnd, IDC_SETUP_LOCK, values.strLockDriveLetters);
    SetCheck(m_hWnd, IDC_SETUP_LOCK_NOT_READY, values.bLockNotReadyDrive);
    SetItemTextUtf8(m_hWnd, IDC_SETUP_BUFFER, values.strBuffer);
    SetCheck(m_hWnd, IDC_SETUP_REMOVABLE_ONLY, values.bShowRemovableOnly);
    SetCheck(m_hWnd, IDC_SETUP_HIDE_NO_LETTER, values.bHideNoDriveLetter);
    SetCheck(m_hWnd, IDC_SETUP_SHOW_CDROM, values.bShowCDROM);
    SetCheck(m_hWnd, IDC_SETUP_SHOW_FLOPPY, values.bShowFLOPPY);
    return TRUE;
}

void CInitSetupDlg::OnOK()
{
    T_SETUP_VALUES values;
    values.strNoScanDriveLetters = GetItemTextUtf8(m_hWnd, IDC_SETUP_NO_SCAN);
    values.strHideDriveLetters = GetItemTextUtf8(m_hWnd, IDC_SETUP_HIDE);
    values.strLockDriveLetters = GetItemTextUtf8(m_hWnd, IDC_SETUP_LOCK);
    values.bLockNotReadyDrive = Checked(m_hWnd, IDC_SETUP_LOCK_NOT_READY);
    values.strBuffer = GetItemTextUtf8(m_hWnd, IDC_SETUP_BUFFER);
    values.bShowRemovableOnly = Checked(m_hWnd, IDC_SETUP_REMOVABLE_ONLY);
    values.bHideNoDriveLetter = Checked(m_hWnd, IDC_SETUP_HIDE_NO_LETTER);
    values.bShowCDROM = Checked(m_hWnd, IDC_SETUP_SHOW_CDROM);
    values.bShowFLOPPY = Checked(m_hWnd, IDC_SETUP_SHOW_FLOPPY);
    WriteSetupValues(m_store, m_strPath, values);
    ::EndDialog(m_hWnd, IDOK);
}
