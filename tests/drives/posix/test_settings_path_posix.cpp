// The settings file's place when the environment names no folder at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "drives/settings_path.h"

namespace {

std::optional<std::string> TakeEnv(const char* pName)
{
    const char* pValue = std::getenv(pName);
    std::optional<std::string> value = pValue ? std::optional<std::string>(pValue) : std::nullopt;
    ::unsetenv(pName);
    return value;
}

}  // namespace

TEST(SettingsPathPosix, WithoutHomeInTheEnvironmentTheUsersHomeFromThePasswordDatabaseServes)
{
    const std::optional<std::string> xdg = TakeEnv("XDG_CONFIG_HOME"), home = TakeEnv("HOME");
    const std::string strPath = GetSettingsFilePath();
    if (xdg) ::setenv("XDG_CONFIG_HOME", xdg->c_str(), 1);
    if (home) ::setenv("HOME", home->c_str(), 1);
    EXPECT_TRUE(strPath.starts_with("/") && strPath.ends_with("/.config/gravelmoor/gravelmoor.ini")) << strPath;
}
