// The setup dialog's values to and from the settings file.
#include "drives/settings_setup.h"

#include "drives/settings_keys.h"

namespace {

std::string_view FirstLine(std::string_view strText)
{
    return strText.substr(0, strText.find_first_of(std::string_view("\r\n\0", 3)));
}

}  // namespace

T_SETUP_VALUES ReadSetupValues(IProfileStore& store, const std::string& strPath)
{
    T_SETUP_VALUES values;
    values.strNoScanDriveLetters = ReadSettingText(store, strPath, SettingsKey::NoScanDriveLetters);
    values.strHideDriveLetters = ReadSettingText(store, strPath, SettingsKey::HideDriveLetters);
    values.strLockDriveLetters = ReadSettingText(store, strPath, SettingsKey::LockDriveLetters);
    values.bLockNotReadyDrive = ReadSettingFlag(store, strPath, SettingsKey::LockNotReadyDrive);
    values.strBuffer = ReadSettingText(store, strPath, SettingsKey::Buffer, BUFFER_MIB_DEFAULT_TEXT);
    values.bShowRemovableOnly = ReadSettingFlag(store, strPath, SettingsKey::ShowRemovableOnly);
    values.bHideNoDriveLetter = ReadSettingFlag(store, strPath, SettingsKey::HideNoDriveLetter);
    values.bShowCDROM = ReadSettingFlag(store, strPath, SettingsKey::ShowCDROM);
    values.bShowFLOPPY = ReadSettingFlag(store, strPath, SettingsKey::ShowFLOPPY);
    return values;
}

bool WriteSetupValues(IProfileStore& store, const std::string& strPath, const T_SETUP_VALUES& values)
{
    const std::pair<std::string_view, std::string_view> keys[] = {
        {SettingsKey::NoScanDriveLetters, FirstLine(values.strNoScanDriveLetters)},
        {SettingsKey::HideDriveLetters, FirstLine(values.strHideDriveLetters)},
        {SettingsKey::LockDriveLetters, FirstLine(values.strLockDriveLetters)},
        {SettingsKey::LockNotReadyDrive, values.bLockNotReadyDrive ? "1" : "0"},
        {SettingsKey::Buffer, FirstLine(values.strBuffer)},
        {SettingsKey::ShowRemovableOnly, values.bShowRemovableOnly ? "1" : "0"},
        {SettingsKey::HideNoDriveLetter, values.bHideNoDriveLetter ? "1" : "0"},
        {SettingsKey::ShowCDROM, values.bShowCDROM ? "1" : "0"},
        {SettingsKey::ShowFLOPPY, values.bShowFLOPPY ? "1" : "0"},
    };
    bool bAll = true;
    for (const auto& [strKey, strValue] : keys) bAll = store.WriteString(strPath, SETTINGS_SECTION, strKey, strValue) && bAll;
    return bAll;
}
