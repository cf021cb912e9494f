#pragma once
// The option check boxes of the main window, and the window's own values in
// the settings file (the section of the setup settings): each row's drive
// key and enable box, the image path history, and the option boxes other
// than the unstable-media one, which starts unchecked in every run. They
// are read at start-up and after the setup dialog, and written when a job
// starts, when the Close button is pressed and when the setup dialog closes
// with OK.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "drives/profile_store.h"
#include "ui/model/control_ids.h"

// The option check boxes of the main window. Two pairs hold each other in
// check: the eject option and the shared-read option exclude each other,
// and the md5sum read-back check only exists as a form of the verify
// option, so it is cleared with it.
struct T_WINDOW_OPTIONS {
    bool bVerify = false;             // 1023: verify the whole drive after reading or writing
    bool bEject = false;              // 1024: eject after a good end
    bool bShareRead = false;          // 1025: read allowing shared writing
    bool bForceWrite = false;         // 1026: write even if the sizes differ
    bool bForceVerify = false;        // 1034: verify even if the sizes differ
    bool bMakeMD5SUM = false;         // 1035: make an .md5sum file
    bool bUnstableRead = false;       // 1048: unstable media (not kept in the settings)
    bool bCompressImage = false;      // 1049: the image file is compressed
    bool bMD5Verify = false;          // 1050: the md5sum check instead of verifying after a write
    bool bCompareAfterWrite = false;  // 1051: write only the units whose data differ
};

// The operator clicked an option box; its new state is already in
// options. Checking the eject option clears the shared-read option and the
// reverse; clearing the verify option clears the md5sum check.
void OptionClicked(T_WINDOW_OPTIONS& options, uint32_t nControlId);

// The same rules applied to options from anywhere (the settings file):
// the md5sum check without the verify option is cleared, and with both the
// eject and the shared-read option the eject option wins.
void NormaliseOptions(T_WINDOW_OPTIONS& options);

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
