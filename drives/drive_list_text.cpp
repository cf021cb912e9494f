// The drive list's text of one drive.
#include "drives/drive_list_text.h"

#include <iterator>

#include "drives/drive_kind.h"
#include "engine/core/format.h"

namespace {

// Every unit is three characters wide, so the sizes line up.
const char* const UNITS[] = {"B  ", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB", "ZiB", "YiB"};

const char* KindWord(uint32_t nKind)
{
    return nKind == DRIVE_KIND_CDROM ? "CDROM" : "DRIVE";
}

}  // namespace

std::string DriveSizeText(uint64_t nSize)
{
    double dValue = static_cast<double>(nSize);
    size_t nUnit = 0;
    while (dValue > 1000.0 && nUnit + 1 < std::size(UNITS)) {
        dValue *= 0.0009765625;  // 1/1024, exactly
        ++nUnit;
    }
    return FormatText("(%6.2f%s) ", dValue, UNITS[nUnit]);
}

std::string DriveLettersText(const std::vector<std::string>& arrLetters)
{
    if (arrLetters.empty()) return "(--) ";
    std::string strText = "(";
    for (size_t i = 0; i < arrLetters.size(); ++i) {
        if (i > 0) strText += ", ";
        strText += arrLetters[i];
        if (arrLetters[i].size() == 1) strText += ":";
    }
    return strText + ") ";
}

std::string DriveMeasureText(EDriveMeasure eMeasure, uint64_t nSize, uint32_t nError)
{
    switch (eMeasure) {
    case EDriveMeasure::Size: return DriveSizeText(nSize);
    case EDriveMeasure::NotReady: return "*NOT READY* ";
    case EDriveMeasure::Error: return FormatText("ERR%08X ", nError);
    case EDriveMeasure::None: break;
    }
    return std::string();
}

std::string DriveListText(const T_DRIVE_TEXT& drive)
{
    const char* pMark = drive.bLocked ? "*" : " ";
    const std::string strLetters = DriveLettersText(drive.arrLetters);
    const std::string strStatus = DriveMeasureText(drive.eMeasure, drive.nSize, drive.nError);
    if (drive.nKind == DRIVE_KIND_FLOPPY) {
        return FormatText("%sFLOPPY#%01d %s%s", pMark, drive.nNumber, strLetters, strStatus);
    }
    return FormatText("%s%s#%02d %s%s%s%s", pMark, KindWord(drive.nKind), drive.nNumber, strLetters, strStatus,
                      drive.strVendor, drive.strProduct);
}
