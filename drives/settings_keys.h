#pragma once
// The section and the keys of the setup settings in the settings file, and
// their defaults. The main window's own options share the section.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "drives/profile_store.h"

constexpr std::string_view SETTINGS_SECTION = "Gravelmoor";

namespace SettingsKey {
constexpr std::string_view NoScanDriveLetters = "NoScanDriveLetters";
constexpr std::string_view HideDriveLetters = "HideDriveLetters";
constexpr std::string_view LockDriveLetters = "LockDriveLetters";
constexpr std::string_view LockNotReadyDrive = "LockNotReadyDrive";
constexpr std::string_view Buffer = "Buffer";
constexpr std::string_view ShowRemovableOnly = "ShowRemovableOnly";
constexpr std::string_view HideNoDriveLetter = "HideNoDriveLetter";
constexpr std::string_view ShowFLOPPY = "ShowFLOPPY";
constexpr std::string_view ShowCDROM = "ShowCDROM";
// Threads that compress a .gmz image; 0 or missing: one per core (the
// machine's default).
constexpr std::string_view CompressThreads = "CompressThreads";
}  // namespace SettingsKey

// Texts are read into buffers of 256 characters.
constexpr size_t SETTINGS_TEXT_MAX_CHARS = 255;
// A job's buffer memory in MiB: never less than this, and this by default.
constexpr int32_t BUFFER_MIB_MIN = 16;
constexpr std::string_view BUFFER_MIB_DEFAULT_TEXT = "16";
// ... and never more than this: a larger setting is refused as --buffer is.
constexpr int32_t BUFFER_MIB_MAX = 65536;
// The most compression threads a job is given.
constexpr int32_t COMPRESS_THREADS_MAX = 64;

// A key of the section as text (at most SETTINGS_TEXT_MAX_CHARS characters),
// or as a flag (any number but 0 is set).
inline std::string ReadSettingText(IProfileStore& store, const std::string& strPath, std::string_view strKey,
                                   std::string_view strDefault = "")
{
    return store.GetString(strPath, SETTINGS_SECTION, strKey, strDefault, SETTINGS_TEXT_MAX_CHARS);
}

inline bool ReadSettingFlag(IProfileStore& store, const std::string& strPath, std::string_view strKey)
{
    return store.GetInt(strPath, SETTINGS_SECTION, strKey, 0) != 0;
}
