#pragma once
// The closing summary of a write, a verify or an erase: one line per drive, OK or NG
// with the reason, and whether the whole job succeeded.
#include <string>
#include <vector>

class CCompareDiskImage;
class CEraseDisk;
class CImageToDisk;

enum class EVerdict {
    Ok,
    WriteFailed,     // the drive was not written in full
    VerifyMismatch,  // compared to the end, and its data differ from the image
    VerifyFailed,    // could not be compared to the end (read errors, too many differences, a broken image)
    Md5Mismatch,     // its read-back digest is not the image's, or could not be had
    Stopped,         // a stop request cut its job short
    NotFinished,     // an erase that another drive's failure ended
};

struct T_DRIVE_VERDICT {
    std::string strDrive;
    EVerdict eVerdict = EVerdict::Ok;
};

// "OK", "NG (write failed)", ...
std::string VerdictText(EVerdict eVerdict);
// "  DRIVE - OK" per drive, the verdict coloured.
void LogVerdicts(const std::vector<T_DRIVE_VERDICT>& arrVerdicts);
// The job succeeded: there are verdicts, and every one is OK.
bool EveryDriveOk(const std::vector<T_DRIVE_VERDICT>& arrVerdicts);

// Whether the write engine wrote slot i in full: the reader delivered the
// whole image and the drive's writer succeeded.
bool WasWritten(const CImageToDisk& writer, size_t i);
// The compare engine's verdict on its place i (after a finished run);
// bStopped turns a failure into Stopped.
EVerdict CompareVerdict(const CCompareDiskImage& compare, size_t i, bool bStopped);
// The erase engine's verdict on slot i (after a finished run); bStopped
// turns a drive that did not finish into Stopped.
EVerdict EraseVerdict(const CEraseDisk& erase, size_t i, bool bStopped);
