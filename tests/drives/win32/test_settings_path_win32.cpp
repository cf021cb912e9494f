// The settings file's place on Windows: beside the running program.
#include <windows.h>

#include <gtest/gtest.h>

#include "drives/settings_path.h"
#include "engine/core/win32/text_win32.h"

TEST(SettingsPathWin32, TheFileLiesInTheFolderOfTheProgram)
{
    wchar_t module[MAX_PATH];
    const std::string strModule = WideToUtf8({module, ::GetModuleFileNameW(nullptr, module, MAX_PATH)});
    ASSERT_NE(strModule.rfind('\\'), std::string::npos);
    EXPECT_EQ(GetSettingsFilePath(), strModule.substr(0, strModule.rfind('\\')) + "\\gravelmoor.ini");
}
