#pragma once
// The volume scanner port: what the drive inventory asks the system about
// its volumes. A volume is known to the operator by its "letter": a drive
// letter ("E") on Windows, the partition's name ("sdb1") on Linux. Each
// platform has an adapter (drives/win32, drives/linux); tests use a
// scripted scanner (drives/fake). Adapters only translate: which records
// the inventory keeps, and when it asks, is decided by CDriveInfo.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/device/device.h"

// The device a letter stands for. A floppy's target begins with
// "\Device\Floppy" followed by its number N.
struct T_DOS_DEVICE {
    std::string strTarget;  // "\Device\HarddiskVolume3", "\Device\Floppy0", "/dev/sdb1"
    bool bFloppy = false;
    int32_t nFloppy = 0;  // N of a floppy; 0 otherwise
};

// What one opening of a volume learned from the two storage requests.
struct T_VOLUME_STORAGE {
    bool bOpened = false;  // the volume could be opened; nothing else is set otherwise
    bool bExtents = false;  // the extents request was answered
    std::vector<T_DISK_EXTENT> arrExtents;  // at most MAX_DISK_EXTENTS
    bool bNumber = false;  // the device number request was answered
    T_DEVICE_NUMBER number;
};

// One volume interface of the setup interface, with the volume it names.
struct T_VOLUME_INTERFACE {
    std::string strInterfacePath;  // the interface's device path, with a backslash appended
    std::string strVolumeName;  // the volume it leads to; empty when that cannot be told
    uint32_t dnDevInst = 0;
    std::string strPdoName;  // the physical device object's name
    std::string strDeviceId;
    bool bParent = false;  // the parent device is known (dnParent, strParentId)
    uint32_t dnParent = 0;
    std::string strParentId;
};

class IVolumeScanner {
public:
    virtual ~IVolumeScanner() = default;

    // The letters to look at, in order: "A" to "Z" on Windows, the volumes
    // the system has now on Linux. On Linux this is also when the system is
    // looked at: every later answer comes from that one look, until the next
    // call.
    virtual std::vector<std::string> ListLetters() = 0;
    // The root path of a letter: "E:\" on Windows, "/dev/sdb1" on Linux.
    virtual std::string RootOf(const std::string& strLetter) = 0;
    // The device behind a letter; false when the letter names none.
    virtual bool QueryLetterDevice(const std::string& strLetter, T_DOS_DEVICE& device) = 0;
    // The unique name of the volume mounted at a root or a folder path,
    // with its trailing backslash on Windows; false when none is mounted.
    virtual bool GetVolumeNameForMountPoint(const std::string& strPath, std::string& strVolumeName) = 0;
    // The drive type of a root (DRIVE_TYPE_FIXED, ...).
    virtual uint32_t GetRootDriveType(const std::string& strRoot) = 0;
    // The total size in bytes of the file system at a root (a CD-ROM's
    // disc); false when none can be told (no medium, nothing mounted).
    virtual bool GetFileSystemTotalBytes(const std::string& strRoot, uint64_t& nTotalBytes) = 0;
    // The folders of a volume where other volumes are mounted, relative to
    // its root and without a trailing backslash ("mnt\data"); none on Linux.
    virtual std::vector<std::string> ListMountPoints(const std::string& strVolumeName) = 0;
    // Opens the volume of that name, asks for its disk extents and then its
    // device number, and closes it again.
    virtual T_VOLUME_STORAGE QueryVolumeStorage(const std::string& strVolumeName) = 0;
    // Every present volume interface; false when the set of them cannot be
    // had at all.
    virtual bool ListVolumeInterfaces(std::vector<T_VOLUME_INTERFACE>& arrInterfaces) = 0;
    // The device path of a drive ("\\.\PhysicalDrive1", "/dev/sdc"); false
    // when the platform has no such drive name. On Linux the numbers are
    // those of the last look at the system.
    virtual bool GetDrivePath(uint32_t nKind, uint32_t nNumber, std::string& strPath) = 0;
};

// The scanner of the platform the program runs on.
std::unique_ptr<IVolumeScanner> CreatePlatformVolumeScanner();

// A DOS device target as the letter's device: a floppy when it begins with
// "\Device\Floppy" (as written, case and all), its number N being the
// decimal number that follows (0 when there is none).
T_DOS_DEVICE ParseDosDevice(const std::string& strTarget);
