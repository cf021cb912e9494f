// Reading the drives and volumes of a Linux system into one table.
#include "drives/linux/linux_drive_table.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <utility>

#include "drives/drive_kind.h"

namespace {

namespace fs = std::filesystem;

// The kernel shows an extended partition's container as a partition of two
// sectors or fewer; it holds no file system of its own.
constexpr uint64_t CONTAINER_SECTORS = 2;

uint64_t ReadNumber(const fs::path& file)
{
    std::ifstream in(file);
    uint64_t nValue = 0;
    return (in >> nValue) ? nValue : 0;
}

// "fd0", "sr12": the prefix followed by digits only.
bool IsNumbered(const std::string& strName, const std::string& strPrefix)
{
    return strName.size() > strPrefix.size() && strName.compare(0, strPrefix.size(), strPrefix) == 0 &&
           std::all_of(strName.begin() + static_cast<std::ptrdiff_t>(strPrefix.size()), strName.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// The number the name's digits from nFrom on make, kept within 32 bits.
uint32_t DigitsAfter(const std::string& strName, size_t nFrom)
{
    uint64_t nValue = 0;
    for (size_t i = nFrom; i < strName.size(); ++i) nValue = std::min<uint64_t>(nValue * 10 + (strName[i] - '0'), UINT32_MAX);
    return static_cast<uint32_t>(nValue);
}

bool HasEntries(const fs::path& folder)
{
    std::error_code ec;
    return fs::directory_iterator(folder, ec) != fs::directory_iterator();
}

bool HasBackingFile(const fs::path& folder)
{
    std::ifstream in(folder / "loop" / "backing_file");
    std::string strPath;
    return std::getline(in, strPath) && !strPath.empty();
}

std::pair<unsigned, unsigned> Numbers(dev_t nDevice)
{
    return {major(nDevice), minor(nDevice)};
}

// The kind of drive a whole device of /sys/block is; false for anything
// that is not a drive.
bool KindOf(const T_SYSFS_ROOTS& roots, const std::string& strName, dev_t nDevice, const fs::path& folder,
            uint32_t& nKind)
{
    std::error_code ec;
    if (HasEntries(folder / "slaves")) return false;
    if (IsNumbered(strName, "fd")) {
        nKind = DRIVE_KIND_FLOPPY;
    } else if (IsNumbered(strName, "sr") || SysfsMediaClass(roots, nDevice) == EMediaClass::Optical) {
        nKind = DRIVE_KIND_CDROM;
    } else if (IsNumbered(strName, "loop")) {
        if (!HasBackingFile(folder)) return false;
        nKind = DRIVE_KIND_DISK;
    } else {
        if (!fs::is_directory(folder / "device", ec)) return false;
        nKind = DRIVE_KIND_DISK;
    }
    return true;
}

std::vector<T_LINUX_DRIVE> ReadDrives(const T_SYSFS_ROOTS& roots)
{
    std::vector<T_LINUX_DRIVE> arrDrives;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(roots.sys / "block", ec)) {
        T_LINUX_DRIVE drive;
        drive.strName = entry.path().filename().string();
        drive.folder = fs::canonical(entry.path(), ec);
        if (ec || !ReadDevFile(drive.folder, drive.nDevice)) continue;
        if (KindOf(roots, drive.strName, drive.nDevice, drive.folder, drive.nKind)) arrDrives.push_back(drive);
    }
    // Kinds in the order of the drive list (disks, CD-ROMs, floppies).
    auto rank = [](uint32_t nKind) { return nKind == DRIVE_KIND_DISK ? 0 : nKind == DRIVE_KIND_CDROM ? 1 : 2; };
    std::sort(arrDrives.begin(), arrDrives.end(), [&](const T_LINUX_DRIVE& a, const T_LINUX_DRIVE& b) {
        if (a.nKind != b.nKind) return rank(a.nKind) < rank(b.nKind);
        return Numbers(a.nDevice) < Numbers(b.nDevice);
    });
    uint32_t nDisks = 0, nCdroms = 0;
    for (T_LINUX_DRIVE& drive : arrDrives) {
        if (drive.nKind == DRIVE_KIND_DISK) drive.nNumber = nDisks++;
        if (drive.nKind == DRIVE_KIND_CDROM) drive.nNumber = nCdroms++;
        if (drive.nKind == DRIVE_KIND_FLOPPY) drive.nNumber = DigitsAfter(drive.strName, 2);
    }
    return arrDrives;
}

std::string KindName(uint32_t nKind)
{
    return nKind == DRIVE_KIND_DISK ? "disk" : nKind == DRIVE_KIND_CDROM ? "cdrom" : "floppy";
}

T_LINUX_VOLUME VolumeOf(const T_LINUX_DRIVE& drive, size_t nDrive, const std::string& strName, dev_t nDevice,
                        const fs::path& folder, uint32_t nDriveType)
{
    T_LINUX_VOLUME volume;
    volume.strName = strName;
    volume.nDevice = nDevice;
    volume.nDrive = nDrive;
    volume.nDriveType = nDriveType;
    volume.folder = folder;
    volume.strVolumeName = LinuxDevicePath(strName) + " " + std::to_string(major(nDevice)) + ":" +
                           std::to_string(minor(nDevice)) + " on " + KindName(drive.nKind) + " " +
                           std::to_string(drive.nNumber);
    return volume;
}

struct T_PARTITION {
    uint64_t nNumber = 0;
    std::string strName;
    dev_t nDevice = 0;
    fs::path folder;
};

std::vector<T_PARTITION> PartitionsOf(const fs::path& disk)
{
    std::vector<T_PARTITION> arrPartitions;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(disk, ec)) {
        T_PARTITION partition;
        partition.folder = entry.path();
        if (!fs::exists(partition.folder / "partition", ec) || !ReadDevFile(partition.folder, partition.nDevice)) {
            continue;
        }
        if (ReadNumber(partition.folder / "size") <= CONTAINER_SECTORS) continue;
        partition.nNumber = ReadNumber(partition.folder / "partition");
        partition.strName = entry.path().filename().string();
        arrPartitions.push_back(partition);
    }
    std::sort(arrPartitions.begin(), arrPartitions.end(),
              [](const T_PARTITION& a, const T_PARTITION& b) { return a.nNumber < b.nNumber; });
    return arrPartitions;
}

bool HoldsFileSystem(const T_SYSFS_ROOTS& roots, const T_LINUX_DRIVE& drive, const std::vector<T_MOUNT>& arrMounts)
{
    const std::string strNode = LinuxDevicePath(drive.strName);
    const bool bMounted = std::any_of(arrMounts.begin(), arrMounts.end(), [&](const T_MOUNT& mount) {
        return mount.nDevice == drive.nDevice || mount.strSource == strNode;
    });
    return bMounted || !UdevProperty(roots.udev, drive.nDevice, "ID_FS_TYPE").empty();
}

uint32_t DriveTypeOf(const T_SYSFS_ROOTS& roots, const T_LINUX_DRIVE& drive)
{
    if (drive.nKind == DRIVE_KIND_CDROM) return DRIVE_TYPE_CDROM;
    if (drive.nKind == DRIVE_KIND_FLOPPY) return DRIVE_TYPE_REMOVABLE;
    return SysfsMediaClass(roots, drive.nDevice) == EMediaClass::Removable ? DRIVE_TYPE_REMOVABLE : DRIVE_TYPE_FIXED;
}

void AddVolumesOf(const T_SYSFS_ROOTS& roots, const std::vector<T_MOUNT>& arrMounts, const T_LINUX_DRIVE& drive,
                  size_t nDrive, std::vector<T_LINUX_VOLUME>& arrVolumes)
{
    const uint32_t nDriveType = DriveTypeOf(roots, drive);
    if (drive.nKind == DRIVE_KIND_DISK) {
        const std::vector<T_PARTITION> arrPartitions = PartitionsOf(drive.folder);
        for (const T_PARTITION& p : arrPartitions) {
            arrVolumes.push_back(VolumeOf(drive, nDrive, p.strName, p.nDevice, p.folder, nDriveType));
        }
        if (!arrPartitions.empty() || !HoldsFileSystem(roots, drive, arrMounts)) return;
    }
    arrVolumes.push_back(VolumeOf(drive, nDrive, drive.strName, drive.nDevice, drive.folder, nDriveType));
}

}  // namespace

std::string LinuxDevicePath(const std::string& strName)
{
    return "/dev/" + strName;
}

T_LINUX_DRIVE_TABLE ReadLinuxDriveTable(const T_SYSFS_ROOTS& roots, const std::vector<T_MOUNT>& arrMounts)
{
    T_LINUX_DRIVE_TABLE table;
    table.arrDrives = ReadDrives(roots);
    for (size_t i = 0; i < table.arrDrives.size(); ++i) {
        AddVolumesOf(roots, arrMounts, table.arrDrives[i], i, table.arrVolumes);
    }
    return table;
}
