#include "cli/system_places.h"

#include <sstream>

#include "engine/core/log.h"

const T_SYSTEM_PLACE* SystemPlaceOn(const T_STORAGE& drive, const std::vector<T_SYSTEM_PLACE>& arrPlaces)
{
    for (const T_SYSTEM_PLACE& place : arrPlaces) {
        if (IsStoredOn(place.storage, drive)) return &place;
    }
    return nullptr;
}

bool RefuseSystemDrives(const std::vector<T_TARGET>& arrTargets, const std::vector<T_SYSTEM_PLACE>& arrPlaces)
{
    bool bOk = true;
    for (const T_TARGET& target : arrTargets) {
        const T_SYSTEM_PLACE* pPlace = SystemPlaceOn(target.storage, arrPlaces);
        if (!pPlace) continue;
        LogError("refused: %s holds %s of the running system; it is never written or erased.\n", target.strPath,
                 pPlace->strWhat);
        bOk = false;
    }
    return bOk;
}

bool RefuseUnmountingSystem(const std::vector<T_TARGET>& arrTargets, const std::vector<bool>& arrReleased,
                            const std::vector<T_SYSTEM_PLACE>& arrPlaces)
{
    bool bOk = true;
    for (size_t i = 0; i < arrTargets.size() && i < arrReleased.size(); ++i) {
        const T_SYSTEM_PLACE* pPlace = arrReleased[i] ? SystemPlaceOn(arrTargets[i].storage, arrPlaces) : nullptr;
        if (!pPlace) continue;
        LogError("refused: %s holds %s of the running system, which the job would unmount; give --share-read to "
                 "leave its volumes mounted.\n",
                 arrTargets[i].strPath, pPlace->strWhat);
        bOk = false;
    }
    return bOk;
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
