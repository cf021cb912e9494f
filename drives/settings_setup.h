#pragma once
// What the setup dialog shows and saves: the texts exactly as typed and the
// check boxes. Nothing is checked when saving; LoadSettings makes any text
// harmless (non-letters are ignored, a "Buffer" that is no number reads as
// 16).
#include <string>

#include "drives/profile_store.h"

struct T_SETUP_VALUES {
    std::string strNoScanDriveLetters;
    std::string strHideDriveLetters;
    std::string strLockDriveLetters;
    bool bLockNotReadyDrive = false;
    std::string strBuffer = "16";
    bool bShowRemovableOnly = false;
    bool bHideNoDriveLetter = false;
    bool bShowCDROM = false;
    bool bShowFLOPPY = false;
};

T_SETUP_VALUES ReadSetupValues(IProfileStore& store, const std::string& strPath);

// Writes every key, texts as typed and check boxes as "1" or "0". A text is
// cut at a line break, as a one-line edit box takes pasted text, so that no
// value can add lines to the file. True when every key was written.
bool WriteSetupValues(IProfileStore& store, const std::string& strPath, const T_SETUP_VALUES& values);
