// The modal dialog base, the version dialog and the write confirmation.
#include "ui/win32/modal_dialog.h"

#include <windows.h>

#include "engine/core/win32/text_win32.h"
#include "ui/model/row_display.h"
#include "ui/win32/resource.h"
#include "ui/win32/version_info.h"

INT_PTR CModalDialog::DoModal(HWND hParent)
{
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId), hParent, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CModalDialog::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG) {
        auto* pThis = reinterpret_cast<CModalDialog*>(lParam);
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        pThis->m_hWnd = hWnd;
        return pThis->OnInitDialog();
    }
    auto* pThis = reinterpret_cast<CModalDialog*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    if (!pThis || uMsg != WM_COMMAND) return FALSE;
    const WORD nId = LOWORD(wParam);
    const WORD nCode = HIWORD(wParam);
    if (pThis->OnCommand(nId, nCode)) return TRUE;
    if (nId == IDOK) {
        pThis->OnOK();
        return TRUE;
    }
    if (nId == IDCANCEL) {
        ::EndDialog(hWnd, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

CAboutDlg::CAboutDlg() : CModalDialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog()
{
    const CVersionInfo version;
    const std::string strBuilds = version.String("SpecialBuild") + version.String("PrivateBuild");
    SetWindowTextUtf8(m_hWnd, "バージョン情報 Gravelmoor 64bit" + strBuilds);
    SetItemTextUtf8(m_hWnd, IDC_ABOUT_PRODUCT,
                    version.ProductVersionText("Gravelmoor V.%d.%d.%d build %d") + strBuilds +
                        version.DateText(" (%04d/%02d/%02d #%d)"));
    SetItemTextUtf8(m_hWnd, IDC_ABOUT_COPYRIGHT, version.String("LegalCopyright"));
    SetItemTextUtf8(m_hWnd, IDC_ABOUT_COMMENTS, version.String("Comments"));
    return TRUE;
}

COverWriteDlg::COverWriteDlg() : CModalDialog(IDD_OVERWRITE), m_strMessage(OVERWRITE_HEADING) {}

BOOL COverWriteDlg::OnInitDialog()
{
    SetItemTextUtf8(m_hWnd, IDC_OVERWRITE_HEADING, m_strMessage);
    SetItemTextUtf8(m_hWnd, IDC_OVERWRITE_DRIVES, DriveLinesText(m_strDrive));
    return TRUE;
}
