#pragma once
// The option check boxes of the main window. Two pairs hold each other in
// check: the eject option and the shared-read option exclude each other,
// and the md5sum read-back check only exists as a form of the verify
// option, so it is cleared with it.
#include <cstdint>

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
