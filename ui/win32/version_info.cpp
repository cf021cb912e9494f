#include "ui/win32/version_info.h"

#include <windows.h>

#include <windows.h>

#include <cstdio>

#include "engine/core/win32/text_win32.h"

namespace {

std::string FormatFour(const char* pszFormat, const std::array<uint16_t, 4>& nParts)
{
    char szText[128] = {};
    std::snprintf(szText, sizeof szText, pszFormat, static_cast<int>(nParts[0]), static_cast<int>(nParts[1]),
                  static_cast<int>(nParts[2]), static_cast<int>(nParts[3]));
    return szText;
}

}  // namespace

CVersionInfo::CVersionInfo()
{
    wchar_t szModule[MAX_PATH] = {};
    if (::GetModuleFileNameW(nullptr, szModule, MAX_PATH) == 0) return;
    DWORD dwHandle = 0;
    const DWORD dwSize = ::GetFileVersionInfoSizeW(szModule, &dwHandle);
    if (dwSize == 0) return;
    m_data.assign(dwSize, '\0');
    if (!::GetFileVersionInfoW(szModule, 0, dwSize, m_data.data())) {
        m_data.clear();
        return;
    }
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT nLength = 0;
    if (::VerQueryValueW(m_data.data(), L"\\", reinterpret_cast<void**>(&pFixed), &nLength) && pFixed) {
        m_nFileVersion = {HIWORD(pFixed->dwFileVersionMS), LOWORD(pFixed->dwFileVersionMS),
                          HIWORD(pFixed->dwFileVersionLS), LOWORD(pFixed->dwFileVersionLS)};
        m_nProductVersion = {HIWORD(pFixed->dwProductVersionMS), LOWORD(pFixed->dwProductVersionMS),
                             HIWORD(pFixed->dwProductVersionLS), LOWORD(pFixed->dwProductVersionLS)};
    }
    struct T_TRANSLATION {
        WORD wLanguage;
        WORD wCodePage;
    };
    T_TRANSLATION* pTranslation = nullptr;
    if (::VerQueryValueW(m_data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pTranslation),
                         &nLength) &&
        pTranslation && nLength >= sizeof(T_TRANSLATION)) {
        char szBlock[64] = {};
        std::snprintf(szBlock, sizeof szBlock, "\\StringFileInfo\\%04X%04X\\", pTranslation->wLanguage,
                      pTranslation->wCodePage);
        m_strBlock = szBlock;
    }
}

std::string CVersionInfo::ProductVersionText(const char* pszFormat) const
{
    if (!pszFormat) return String("ProductVersion");
    return FormatFour(pszFormat, m_nProductVersion);
}

std::string CVersionInfo::DateText(const char* pszFormat) const
{
    return FormatFour(pszFormat, m_nFileVersion);
}

std::string CVersionInfo::String(const char* pszKey) const
{
    if (m_data.empty() || m_strBlock.empty()) return {};
    wchar_t* pValue = nullptr;
    UINT nLength = 0;
    std::string strData = m_data;  // VerQueryValueW wants a writable block
    const std::wstring strQuery = Utf8ToWide(m_strBlock + pszKey);
    if (!::VerQueryValueW(strData.data(), strQuery.c_str(), reinterpret_cast<void**>(&pValue), &nLength) || !pValue ||
        nLength == 0) {
        return {};
    }
    return WideToUtf8(std::wstring_view(pValue, nLength).substr(0, std::wstring_view(pValue, nLength).find(L'\0')));
}
