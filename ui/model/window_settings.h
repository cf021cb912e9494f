#pragma once
// The main window's own values in the settings file (the section of the
// setup settings): each row's drive key and enable box, the image path
// history, and the option boxes other than the unstable-media one, which
// starts unchecked in every run. They are read at start-up and after the
// setup dialog, and written when a job starts, when the Close button is
// pressed and when the setup dialog closes with OK.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "drives/profile_store.h"
#include "ui/model/control_ids.h"
#include "ui/model/window_options.h"

// The image path box takes at most this many characters, and the history
// keeps at most this many paths.
constexpr size_t IMAGE_PATH_MAX_CHARS = 260;
constexpr size_t IMAGE_HISTORY_MAX = 10;
// "LastImagePath" is written from a buffer of 256 characters.
constexpr size_t LAST_IMAGE_PATH_MAX_CHARS = 255;

struct T_WINDOW_SETTINGS {
    std::array<uint32_t, ROW_COUNT> nRowDriveKey = {0, 1, 2, 3};
    std::array<bool, ROW_COUNT> bEnableDrive = {false, false, false, false};
    std::vector<std::string> arrImagePath;  // most recent first
    T_WINDOW_OPTIONS options;               // bUnstableRead is never kept
    std::string strLastImagePath;           // written only
};

// Missing keys give the defaults; the history stops at its first empty
// entry.
T_WINDOW_SETTINGS LoadWindowSettings(IProfileStore& store, const std::string& strPath);

// True when every key was written.
bool SaveWindowSettings(IProfileStore& store, const std::string& strPath, const T_WINDOW_SETTINGS& settings);

// The first nMaxChars characters of a UTF-8 text, never splitting one.
std::string CutToChars(const std::string& strText, size_t nMaxChars);
