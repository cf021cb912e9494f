// The settings file's place on Windows: beside the executable. The module
// name is asked for with a growing buffer, so that a long path is not cut.
#include <windows.h>

#include <vector>

#include "drives/settings_path.h"
#include "engine/core/win32/text_win32.h"

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
