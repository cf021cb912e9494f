#include "ui/win32/win_text.h"

#include <windows.h>

#include "engine/core/win32/text_win32.h"

std::string GetWindowTextUtf8(HWND hWnd)
{
    const int nLength = ::GetWindowTextLengthW(hWnd);
    if (nLength <= 0) return {};
    std::wstring strText(static_cast<size_t>(nLength) + 1, L'\0');
    const int nGot = ::GetWindowTextW(hWnd, strText.data(), nLength + 1);
    strText.resize(static_cast<size_t>(nGot > 0 ? nGot : 0));
    return WideToUtf8(strText);
}

std::string GetItemTextUtf8(HWND hDlg, int nId)
{
    return GetWindowTextUtf8(::GetDlgItem(hDlg, nId));
}

void SetWindowTextUtf8(HWND hWnd, std::string_view strText)
{
    ::SetWindowTextW(hWnd, Utf8ToWide(strText).c_str());
}

void SetItemTextUtf8(HWND hDlg, int nId, std::string_view strText)
{
    SetWindowTextUtf8(::GetDlgItem(hDlg, nId), strText);
}

int MessageBoxUtf8(HWND hOwner, std::string_view strText, std::string_view strCaption, UINT uType)
{
    return ::MessageBoxW(hOwner, Utf8ToWide(strText).c_str(), Utf8ToWide(strCaption).c_str(), uType);
}
