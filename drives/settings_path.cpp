// The settings file's path from a module path or a configuration folder.
#include "drives/settings_path.h"

std::string SettingsPathBesideModule(std::string_view strModulePath)
{
    const size_t nSlash = strModulePath.rfind('\\');
    if (nSlash != std::string_view::npos && nSlash != 0) strModulePath = strModulePath.substr(0, nSlash);
    return std::string(strModulePath) + "\\" + std::string(SETTINGS_FILE_NAME);
}

std::string SettingsPathInConfigHome(std::string_view strXdgConfigHome, std::string_view strHome)
{
    const bool bXdg = strXdgConfigHome.starts_with('/');
    if (!bXdg && strHome.empty()) return std::string();
    std::string_view strFolder = bXdg ? strXdgConfigHome : strHome;
    while (!strFolder.empty() && strFolder.back() == '/') strFolder.remove_suffix(1);
    return std::string(strFolder) + (bXdg ? "" : "/.config") + "/gravelmoor/" + std::string(SETTINGS_FILE_NAME);
}
