#include "ui/win32/modal_dialog.h"

#include <windows.h>

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
