#include "ui/win32/overwrite_dialog.h"

#include <windows.h>

#include "ui/model/confirm_lines.h"
#include "ui/win32/resource.h"
#include "ui/win32/win_text.h"

COverWriteDlg::COverWriteDlg() : CModalDialog(IDD_OVERWRITE), m_strMessage(OVERWRITE_HEADING) {}

BOOL COverWriteDlg::OnInitDialog()
{
    SetItemTextUtf8(m_hWnd, IDC_OVERWRITE_HEADING, m_strMessage);
    SetItemTextUtf8(m_hWnd, IDC_OVERWRITE_DRIVES, DriveLinesText(m_strDrive));
    return TRUE;
}
