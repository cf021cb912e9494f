// The running system's places on Linux: the file systems of /, /boot and
// /usr, and every active swap area of /proc/swaps. Each is looked at
// through an O_PATH descriptor, which opens no device: a swap partition's
// driver is never asked anything.
#include <fcntl.h>
#include <unistd.h>

#include <fstream>

#include "jobs/system_places.h"
#include "engine/device/posix/posix_storage.h"

namespace {

void AddPlace(const std::string& strPath, const std::string& strWhat, std::vector<T_SYSTEM_PLACE>& arrPlaces)
{
    const int fd = ::open(strPath.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) return;  // no such place (no separate /boot, a swap file gone meanwhile)
    arrPlaces.push_back(T_SYSTEM_PLACE{strWhat, PosixStorageOf(fd)});
    ::close(fd);
}

}  // namespace

std::vector<T_SYSTEM_PLACE> SystemPlaces()
{
    std::vector<T_SYSTEM_PLACE> arrPlaces;
    AddPlace("/", "the root file system (/)", arrPlaces);
    AddPlace("/boot", "the file system of /boot", arrPlaces);
    AddPlace("/usr", "the file system of /usr", arrPlaces);
    std::ifstream swaps("/proc/swaps");
    for (const std::string& strSwap : ParseProcSwaps(swaps)) {
        AddPlace(strSwap, "the active swap " + strSwap, arrPlaces);
    }
    return arrPlaces;
}
