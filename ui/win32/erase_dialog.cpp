#include "ui/win32/erase_dialog.h"

#include <windows.h>

#include "engine/core/win32/text_win32.h"
#include "engine/erase/erase_methods.h"
#include "ui/model/row_display.h"
#include "ui/win32/resource.h"

CSelectEraseAlgorithmDlg::CSelectEraseAlgorithmDlg() : CModalDialog(IDD_SELECT_ERASE) {}

BOOL CSelectEraseAlgorithmDlg::OnInitDialog()
{
    SetItemTextUtf8(m_hWnd, IDC_ERASE_DRIVES, DriveLinesText(m_strDrive));
    m_nSelect = 0;
    const auto entries = EraseDialogEntries();
    for (size_t i = 0; i < entries.size(); ++i) {
        ::CheckDlgButton(m_hWnd, static_cast<int>(entries[i].nControlId), i == 0 ? BST_CHECKED : BST_UNCHECKED);
    }
    // The first button takes the focus, which shows its description.
    ::SetFocus(::GetDlgItem(m_hWnd, static_cast<int>(entries[0].nControlId)));
    ShowDescription(static_cast<WORD>(entries[0].nControlId));
    return FALSE;
}

bool CSelectEraseAlgorithmDlg::OnCommand(WORD nId, WORD nCode)
{
    if (nCode != BN_SETFOCUS && nCode != BN_CLICKED) return false;
    for (const T_ERASE_DIALOG_ENTRY& entry : EraseDialogEntries()) {
        if (entry.nControlId == nId) {
            ShowDescription(nId);
            return true;
        }
    }
    return false;
}

void CSelectEraseAlgorithmDlg::ShowDescription(WORD nId)
{
    for (const T_ERASE_DIALOG_ENTRY& entry : EraseDialogEntries()) {
        if (entry.nControlId != nId) continue;
        SetItemTextUtf8(m_hWnd, IDC_ERASE_DESCRIPTION, entry.pDescription);
        ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), TRUE);
    }
}

void CSelectEraseAlgorithmDlg::OnOK()
{
    const auto entries = EraseDialogEntries();
    m_nSelect = -1;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (::IsDlgButtonChecked(m_hWnd, static_cast<int>(entries[i].nControlId)) == BST_CHECKED) {
            m_nSelect = static_cast<int>(i);
        }
    }
    ::EndDialog(m_hWnd, IDOK);
}
