#pragma once
// The text of one drive in the drive list, for example
// " DRIVE#01 (E:, F:) ( 14.91GiB) USB     Flash Disk      ": the lock mark,
// the drive's kind and number, its letters, its size or state, and the
// identification the drive gives.
#include <cstdint>
#include <string>
#include <vector>

// What measuring the drive gave.
enum class EDriveMeasure {
    None,  // not measured (its identification could not be read): no text
    Size,  // nSize bytes
    NotReady,  // no medium
    Error,  // the size request failed with nError
};

struct T_DRIVE_TEXT {
    uint32_t nKind = 0;  // DRIVE_KIND_DISK, DRIVE_KIND_CDROM or DRIVE_KIND_FLOPPY
    uint32_t nNumber = 0;  // the disk or CD-ROM number; N of a floppy
    std::vector<std::string> arrLetters;  // drive letters ("E") or volume names ("sdb1")
    bool bLocked = false;  // the window holds a lock on one of the letters
    EDriveMeasure eMeasure = EDriveMeasure::None;
    uint64_t nSize = 0;
    uint32_t nError = 0;
    std::string strVendor;  // as the drive reports them, blanks and all
    std::string strProduct;
};

// The whole text: "%sFLOPPY#%01d %s%s" for a floppy (no identification),
// "%s%s#%02d %s%s%s%s" with "DRIVE" or "CDROM" for the others.
std::string DriveListText(const T_DRIVE_TEXT& drive);

// "(%6.2f%s) ": the size in the largest binary unit that keeps the number
// at 1000 or below, from "B  " to "YiB" ("( 14.91GiB) ").
std::string DriveSizeText(uint64_t nSize);
// "(E:, F:) "; a name longer than one letter is shown as it is
// ("(sdb1, sdb2) "); "(--) " when there is none.
std::string DriveLettersText(const std::vector<std::string>& arrLetters);
// The size, "*NOT READY* ", "ERR%08X " or nothing.
std::string DriveMeasureText(EDriveMeasure eMeasure, uint64_t nSize, uint32_t nError);
