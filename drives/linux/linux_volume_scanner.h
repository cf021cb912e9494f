#pragma once
// The Linux adapter of the volume scanner port. Every ListLetters takes one
// look at the system (ReadLinuxDriveTable); the other answers come from that
// look. Letters are device names ("sdb1", "sr0"), a letter's root is its
// device node, and a volume has no folders of other volumes. The storage
// requests are answered from sysfs, without opening the device, with the
// disks named by their drive numbers; a floppy answers neither. A root's
// file system is measured where the volume is mounted.
#include <filesystem>

#include "drives/linux/linux_drive_table.h"
#include "drives/volume_scanner.h"

class CLinuxVolumeScanner : public IVolumeScanner {
public:
    explicit CLinuxVolumeScanner(T_SYSFS_ROOTS roots = T_SYSFS_ROOTS{},
                                 std::filesystem::path mountInfo = "/proc/self/mountinfo");

    std::vector<std::string> ListLetters() override;
    std::string RootOf(const std::string& strLetter) override;
    bool QueryLetterDevice(const std::string& strLetter, T_DOS_DEVICE& device) override;
    bool GetVolumeNameForMountPoint(const std::string& strPath, std::string& strVolumeName) override;
    uint32_t GetRootDriveType(const std::string& strRoot) override;
    bool GetFileSystemTotalBytes(const std::string& strRoot, uint64_t& nTotalBytes) override;
    std::vector<std::string> ListMountPoints(const std::string& strVolumeName) override;
    T_VOLUME_STORAGE QueryVolumeStorage(const std::string& strVolumeName) override;
    bool ListVolumeInterfaces(std::vector<T_VOLUME_INTERFACE>& arrInterfaces) override;
    bool GetDrivePath(uint32_t nKind, uint32_t nNumber, std::string& strPath) override;

private:
    const T_LINUX_VOLUME* FindByRoot(const std::string& strRoot) const;
    const T_LINUX_DRIVE* FindDrive(dev_t nDevice) const;
    void AddExtents(const T_LINUX_VOLUME& volume, T_VOLUME_STORAGE& storage) const;

    T_SYSFS_ROOTS m_roots;
    std::filesystem::path m_mountInfo;
    T_LINUX_DRIVE_TABLE m_table;
    std::vector<T_MOUNT> m_arrMounts;  // of the same look
};
