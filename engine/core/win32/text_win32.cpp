// UTF-8 to UTF-16 and back at the Win32 calls, and window texts in UTF-8.
#include "engine/core/win32/text_win32.h"

#include <windows.h>

#include <climits>

// Texts longer than INT_MAX units do not occur at Win32 calls; they are cut
// rather than wrapped round.
namespace {

int ClampedLength(size_t nLength)
{
    return nLength > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(nLength);
}

}  // namespace

std::wstring Utf8ToWide(std::string_view strText)
{
    const int nSource = ClampedLength(strText.size());
    if (nSource == 0) return std::wstring();
    const int nWide = ::MultiByteToWideChar(CP_UTF8, 0, strText.data(), nSource, nullptr, 0);
    if (nWide <= 0) return std::wstring();
    std::wstring strWide(static_cast<size_t>(nWide), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, strText.data(), nSource, strWide.data(), nWide);
    return strWide;
}

std::string WideToUtf8(std::wstring_view strText)
{
    const int nSource = ClampedLength(strText.size());
    if (nSource == 0) return std::string();
    const int nBytes = ::WideCharToMultiByte(CP_UTF8, 0, strText.data(), nSource, nullptr, 0, nullptr, nullptr);
    if (nBytes <= 0) return std::string();
    std::string strUtf8(static_cast<size_t>(nBytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, strText.data(), nSource, strUtf8.data(), nBytes, nullptr, nullptr);
    return strUtf8;
}

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
