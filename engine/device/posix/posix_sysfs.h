#pragma once
// What the kernel's device tables say about a block device, by its device
// number: the disk and partition behind it, the disks under a layer
// (device-mapper, md), the drive's identification and its kind of medium.
// Read from sysfs (and udev's database for a serial number sysfs lacks);
// the roots are parameters so that a folder can stand in for them.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/device/device.h"

struct T_SYSFS_ROOTS {
    std::filesystem::path sys = "/sys";
    std::filesystem::path udev = "/run/udev/data";
};

enum class EMediaClass { Fixed, Removable, Optical };

// The device's own sysfs folder, resolved; empty when sysfs has none.
std::filesystem::path SysfsFolderOf(const std::filesystem::path& sys, dev_t nDevice);
// A property of udev's database record of a block device ("E:KEY=VALUE"
// lines); empty when udev has none.
std::string UdevProperty(const std::filesystem::path& udev, dev_t nDevice, const std::string& strKey);
// The "MAJ:MIN" of a sysfs block folder, or false.
bool ReadDevFile(const std::filesystem::path& folder, dev_t& nDevice);

// A partition answers with its disk and its number; a whole disk with
// itself and 0 (-1 for an optical drive). A layer has no single disk and
// fails with ENOTTY; a device sysfs does not know fails with ENODEV.
bool SysfsDeviceNumber(const T_SYSFS_ROOTS& roots, dev_t nDevice, T_DEVICE_NUMBER& number, uint32_t& nError);
// A partition spans its stretch of its disk, a whole disk all of itself, and
// a layer the extents of its members (a member's whole partition or disk).
bool SysfsDiskExtents(const T_SYSFS_ROOTS& roots, dev_t nDevice, std::vector<T_DISK_EXTENT>& arrExtents,
                      uint32_t& nError);
// The identification of the drive behind a disk or partition. Devices with
// no hardware behind them (loop, RAM disks) and layers fail with ENOTTY.
bool SysfsStorageDescriptor(const T_SYSFS_ROOTS& roots, dev_t nDevice, T_STORAGE_DESCRIPTOR& descriptor,
                            uint32_t& nError);
// The kind of medium of the drive behind a disk or partition; Fixed when
// sysfs cannot tell.
EMediaClass SysfsMediaClass(const T_SYSFS_ROOTS& roots, dev_t nDevice);
