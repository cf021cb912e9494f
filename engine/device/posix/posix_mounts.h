#pragma once
// The mounts of this process's mount namespace (/proc/self/mountinfo) and
// unmounting every mount point of one block device.
#include <sys/types.h>

#include <istream>
#include <string>
#include <vector>

struct T_MOUNT {
    dev_t nDevice = 0;      // the device number the mount reports
    std::string strTarget;  // where it is mounted, unescaped
    std::string strSource;  // what was mounted ("/dev/sdb1", "tmpfs", ...), unescaped
};

// The mounts listed in mountinfo text, in mount order; lines that do not
// parse are left out.
std::vector<T_MOUNT> ParseMountInfo(std::istream& in);

// The mount points of block device nDevice, the latest mount first: those
// whose device number is nDevice, or whose source is a node of it (file
// systems such as btrfs report a number of their own).
std::vector<std::string> MountPointsOf(dev_t nDevice);

// Unmounts every mount point of nDevice, latest first, never lazily: a
// mount point in use stops it with EBUSY (the earlier ones stay unmounted).
// True when none is left; also when there was none.
bool UnmountAll(dev_t nDevice, uint32_t& nError);
