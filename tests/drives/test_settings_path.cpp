// Where the settings file is looked for, from a module path or from the
// environment's configuration folders.
#include <gtest/gtest.h>

#include "drives/settings_path.h"

TEST(SettingsPath, BesideTheModuleOrInTheConfigurationFolder)
{
    EXPECT_EQ(SettingsPathBesideModule("C:\\Tools\\ドライブ\\g.exe"), "C:\\Tools\\ドライブ\\gravelmoor.ini");
    EXPECT_EQ(SettingsPathBesideModule("C:\\g.exe"), "C:\\gravelmoor.ini");
    EXPECT_EQ(SettingsPathBesideModule("\\g.exe"), "\\g.exe\\gravelmoor.ini");  // its only backslash comes first
    EXPECT_EQ(SettingsPathInConfigHome("/cfg//", "/home/op"), "/cfg/gravelmoor/gravelmoor.ini");
    EXPECT_EQ(SettingsPathInConfigHome("relative", "/home/op/"), "/home/op/.config/gravelmoor/gravelmoor.ini");
    EXPECT_EQ(SettingsPathInConfigHome("/", ""), "/gravelmoor/gravelmoor.ini");
    EXPECT_EQ(SettingsPathInConfigHome("", ""), "");
}
