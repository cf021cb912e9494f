// The running system's places on Linux: the file systems of /, /boot and
// /usr, and every active swap area of /proc/swaps.
#include <fstream>
#include <sstream>

#include "cli/system_places.h"

namespace {

bool AddPlace(const std::string& strPath, const std::string& strWhat, std::vector<T_SYSTEM_PLACE>& arrPlaces)
{
    uint32_t nError = 0;
    const std::unique_ptr<IDevice> pObject = GetPlatformDevices().Open(strPath, EOpenMode::ProbeDrive, nError);
    if (!pObject) return false;
    arrPlaces.push_back(T_SYSTEM_PLACE{strWhat, pObject->GetStorage()});
    return true;
}

// The swap areas in use: the first column of /proc/swaps after its heading.
std::vector<std::string> ActiveSwaps()
{
    std::vector<std::string> arrSwaps;
    std::ifstream swaps("/proc/swaps");
    std::string strLine;
    std::getline(swaps, strLine);
    while (std::getline(swaps, strLine)) {
        std::istringstream fields(strLine);
        std::string strPath;
        if (fields >> strPath) arrSwaps.push_back(strPath);
    }
    return arrSwaps;
}

}  // namespace

std::vector<T_SYSTEM_PLACE> SystemPlaces()
{
    std::vector<T_SYSTEM_PLACE> arrPlaces;
    AddPlace("/", "the root file system (/)", arrPlaces);
    AddPlace("/boot", "the file system of /boot", arrPlaces);
    AddPlace("/usr", "the file system of /usr", arrPlaces);
    for (const std::string& strSwap : ActiveSwaps()) AddPlace(strSwap, "the active swap " + strSwap, arrPlaces);
    return arrPlaces;
}
