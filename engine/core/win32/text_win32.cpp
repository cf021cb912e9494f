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
