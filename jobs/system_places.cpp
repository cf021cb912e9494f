// The running system's places: the one a drive holds, and the swap areas of
// the kernel's list.
#include "jobs/system_places.h"

#include <sstream>

const T_SYSTEM_PLACE* SystemPlaceOn(const T_STORAGE& drive, const std::vector<T_SYSTEM_PLACE>& arrPlaces)
{
    for (const T_SYSTEM_PLACE& place : arrPlaces) {
        if (IsStoredOn(place.storage, drive)) return &place;
    }
    return nullptr;
}

namespace {

// A backslash and three octal digits at i: how the kernel writes blanks,
// tabs, line ends and backslashes in a path ("\040").
bool IsOctalEscape(const std::string& strText, size_t i)
{
    if (strText[i] != '\\' || i + 4 > strText.size()) return false;
    for (size_t k = i + 1; k < i + 4; ++k) {
        if (strText[k] < '0' || strText[k] > '7') return false;
    }
    return true;
}

std::string UnescapeOctal(const std::string& strText)
{
    std::string strOut;
    for (size_t i = 0; i < strText.size(); ++i) {
        if (IsOctalEscape(strText, i)) {
            strOut += static_cast<char>(std::stoi(strText.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            strOut += strText[i];
        }
    }
    return strOut;
}

}  // namespace

std::vector<std::string> ParseProcSwaps(std::istream& in)
{
    std::vector<std::string> arrSwaps;
    std::string strLine;
    std::getline(in, strLine);  // "Filename  Type  Size  Used  Priority"
    while (std::getline(in, strLine)) {
        std::istringstream fields(strLine);
        std::string strPath;
        if (fields >> strPath) arrSwaps.push_back(UnescapeOctal(strPath));
    }
    return arrSwaps;
}
