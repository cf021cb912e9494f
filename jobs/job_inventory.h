#pragma once
// What the job runner asks of the drive inventory: where a drive is opened
// and which volumes live on it. The window's inventory answers on Windows
// ("\\.\PhysicalDrive1", the volumes "\\.\E:", "\\.\F:"); the Linux one
// with block devices ("/dev/sdb", its partitions "/dev/sdb1", ...).
#include <cstdint>
#include <string>
#include <vector>

// One volume of a drive.
struct T_JOB_VOLUME {
    int nLetter = -1;      // 0 = A: to 25 = Z:; -1 where volumes have no letters
    std::string strName;   // as the drive's display name shows it: "E:", "sdb1"
    std::string strPath;   // the path the volume is opened with: "\\.\E:", "/dev/sdb1"
};

class IJobInventory {
public:
    virtual ~IJobInventory() = default;
    // The path a drive of this kind and number is opened with; empty when
    // there is no such drive.
    virtual std::string GetDrivePath(uint32_t nKind, int nNumber) = 0;
    // The drive's volumes, in the inventory's order.
    virtual std::vector<T_JOB_VOLUME> GetDriveVolumes(uint32_t nKind, int nNumber) = 0;
};
