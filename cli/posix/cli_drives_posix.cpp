// The command line's drive facts on Linux: a partition's mount points come
// from the mount table; floppy drives have no letters (/dev/fd0 is given
// by its path).
#include <sys/stat.h>

#include "cli/cli_inventory.h"
#include "engine/device/posix/posix_mounts.h"

std::vector<std::string> PlatformMountPoints(const CDriveInfo&, const T_JOB_VOLUME& volume)
{
    struct stat st {};
    if (::stat(volume.strPath.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return {};
    std::vector<std::string> arrPoints = MountPointsOf(st.st_rdev);  // the latest first
    return {arrPoints.rbegin(), arrPoints.rend()};
}

bool FloppiesHaveLetters()
{
    return false;
}
