// The settings store on Windows: the private-profile functions themselves,
// over the file beside the executable. An empty path names no file (the
// functions would look for one in the Windows folder instead).
#include <windows.h>

#include <vector>

#include "drives/profile_store.h"
#include "drives/profile_store_document.h"
#include "drives/settings_path.h"
#include "engine/core/win32/text_win32.h"

namespace {

// The profile functions write a file they create in the ANSI code page,
// which loses every character outside it (Japanese folder names of image
// paths). A file that begins with the UTF-16 byte order mark is read and
// written as UTF-16, so a new file is created with one.
void CreateUnicodeFile(const std::wstring& strPath)
{
    const HANDLE hFile = ::CreateFileW(strPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                       nullptr);
    if (hFile == INVALID_HANDLE_VALUE) return;  // it exists (or cannot be made: the write will say so)
    const unsigned char bom[2] = {0xFF, 0xFE};
    DWORD dwWritten = 0;
    ::WriteFile(hFile, bom, sizeof bom, &dwWritten, nullptr);
    ::CloseHandle(hFile);
}

// A list of names, each ended by a NUL and the list by another, as the
// profile functions hand them out; the buffer grows until the list fits
// (they answer size - 2 when it did not).
template <class F>
std::vector<std::wstring> ReadNameList(F&& fnRead)
{
    for (DWORD nSize = 4096;; nSize *= 2) {
        std::vector<wchar_t> buffer(nSize, L'\0');
        const DWORD nLength = fnRead(buffer.data(), nSize);
        if (nLength + 2 >= nSize && nSize < (1u << 24)) continue;
        std::vector<std::wstring> arrNames;
        for (size_t i = 0; i < nLength && buffer[i] != L'\0'; i += arrNames.back().size() + 1)
            arrNames.emplace_back(buffer.data() + i);
        return arrNames;
    }
}

class CWin32ProfileStore : public IProfileStore {
public:
    std::string GetString(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                          std::string_view strDefault, size_t nMaxChars) override
    {
        if (strPath.empty()) return ProfileValueAsRead(strDefault, nMaxChars);
        std::vector<wchar_t> buffer(nMaxChars + 1, L'\0');
        const DWORD nLength = ::GetPrivateProfileStringW(
            Utf8ToWide(strSection).c_str(), Utf8ToWide(strKey).c_str(), Utf8ToWide(strDefault).c_str(),
            buffer.data(), static_cast<DWORD>(buffer.size()), Utf8ToWide(strPath).c_str());
        return WideToUtf8(std::wstring_view(buffer.data(), nLength));
    }

    int32_t GetInt(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                   int32_t nDefault) override
    {
        if (strPath.empty()) return nDefault;
        return static_cast<int32_t>(::GetPrivateProfileIntW(Utf8ToWide(strSection).c_str(), Utf8ToWide(strKey).c_str(),
                                                            nDefault, Utf8ToWide(strPath).c_str()));
    }

    std::vector<T_PROFILE_KEY> ListKeys(const std::string& strPath) override
    {
        std::vector<T_PROFILE_KEY> arrKeys;
        if (strPath.empty()) return arrKeys;
        const std::wstring strFile = Utf8ToWide(strPath);
        const auto arrSections = ReadNameList([&](wchar_t* pBuffer, DWORD nSize) {
            return ::GetPrivateProfileSectionNamesW(pBuffer, nSize, strFile.c_str());
        });
        for (const std::wstring& strSection : arrSections) {
            const auto arrNames = ReadNameList([&](wchar_t* pBuffer, DWORD nSize) {
                return ::GetPrivateProfileStringW(strSection.c_str(), nullptr, L"", pBuffer, nSize, strFile.c_str());
            });
            for (const std::wstring& strKey : arrNames) arrKeys.push_back({WideToUtf8(strSection), WideToUtf8(strKey)});
        }
        return arrKeys;
    }

    bool WriteString(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                     std::string_view strValue) override
    {
        if (strPath.empty()) return false;
        CreateUnicodeFile(Utf8ToWide(strPath));
        return ::WritePrivateProfileStringW(Utf8ToWide(strSection).c_str(), Utf8ToWide(strKey).c_str(),
                                            Utf8ToWide(strValue).c_str(), Utf8ToWide(strPath).c_str()) != FALSE;
    }
};

}  // namespace

std::unique_ptr<IProfileStore> CreateProfileStore()
{
    return std::make_unique<CWin32ProfileStore>();
}

// The module name is asked for with a growing buffer, so that a long path
// is not cut.
std::string GetSettingsFilePath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD nLength = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (nLength == 0) return std::string();
        if (nLength < buffer.size()) return SettingsPathBesideModule(WideToUtf8(std::wstring_view(buffer.data(), nLength)));
        if (buffer.size() >= 32768) return std::string();
        buffer.resize(buffer.size() * 2);
    }
}
