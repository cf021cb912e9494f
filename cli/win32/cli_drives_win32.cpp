// The command line's drive facts on Windows: a volume is mounted at its
// letter's root and in the folders the inventory found; floppy drives are
// known by their letters.
#include "cli/cli_inventory.h"

std::vector<std::string> PlatformMountPoints(const CDriveInfo& drives, const T_JOB_VOLUME& volume)
{
    if (volume.nLetter < 0) return {};
    return RootsOfVolume(drives, std::string(1, static_cast<char>('A' + volume.nLetter)));
}

bool FloppiesHaveLetters()
{
    return true;
}
