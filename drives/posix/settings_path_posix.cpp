// The settings file's place on POSIX, from the environment, or from the
// password database when HOME is not set.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "drives/settings_path.h"

namespace {

std::string HomeFromPasswordDatabase()
{
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* pResult = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &pResult) != 0 || !pResult || !pResult->pw_dir)
        return std::string();
    return pResult->pw_dir;
}

}  // namespace

std::string GetSettingsFilePath()
{
    const char* pXdg = std::getenv("XDG_CONFIG_HOME");
    const char* pHome = std::getenv("HOME");
    const std::string strHome = pHome && *pHome ? std::string(pHome) : HomeFromPasswordDatabase();
    return SettingsPathInConfigHome(pXdg ? pXdg : "", strHome);
}
