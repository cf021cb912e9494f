#include "ui/win32/about_dialog.h"

#include <windows.h>

#include "ui/win32/resource.h"
#include "ui/win32/version_info.h"
#include "ui/win32/win_text.h"

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
