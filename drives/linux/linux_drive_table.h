#pragma once
// One look at the drives and volumes of a Linux system, from sysfs, udev's
// database and the mount table. Drives are the whole disks with hardware
// behind them (and loop devices with a backing file), CD-ROM drives
// (/dev/srN) and floppy drives (/dev/fdN); layers (device-mapper, md) and
// RAM disks are not drives. A drive's number is its position among the
// drives of its kind sorted by device number; a floppy's is N of fdN.
//
// The volumes of a disk are its partitions (an extended partition's
// container is none), or the whole disk when it holds a file system that
// is mounted or that udev knows; a CD-ROM or floppy drive is one volume
// itself, medium or not. Each volume is named after its device ("sdb1"),
// and its unique name holds its device number and its drive's number: a
// disk that moves to another position gives its volumes new names, so
// that nothing learned under the old number is kept.
#include <sys/types.h>

#include <string>
#include <vector>

#include "engine/device/posix/posix_mounts.h"
#include "engine/device/posix/posix_sysfs.h"

struct T_LINUX_DRIVE {
    uint32_t nKind = 0;  // DRIVE_KIND_DISK, DRIVE_KIND_CDROM or DRIVE_KIND_FLOPPY
    uint32_t nNumber = 0;
    std::string strName;  // "sdb"
    dev_t nDevice = 0;
    std::filesystem::path folder;  // its sysfs folder, resolved
};

struct T_LINUX_VOLUME {
    std::string strName;  // "sdb1": the volume's letter
    std::string strVolumeName;  // unique: "/dev/sdb1 8:17 on disk 1"
    dev_t nDevice = 0;
    size_t nDrive = 0;  // index of its drive in the table
    uint32_t nDriveType = 0;  // DRIVE_TYPE_FIXED, _REMOVABLE or _CDROM
    std::filesystem::path folder;
};

struct T_LINUX_DRIVE_TABLE {
    std::vector<T_LINUX_DRIVE> arrDrives;  // disks, then CD-ROM drives, then floppies, each by number
    std::vector<T_LINUX_VOLUME> arrVolumes;  // by drive, then partition number
};

T_LINUX_DRIVE_TABLE ReadLinuxDriveTable(const T_SYSFS_ROOTS& roots, const std::vector<T_MOUNT>& arrMounts);

// The device node of a block device name.
std::string LinuxDevicePath(const std::string& strName);
