#pragma once
// The Windows adapter of the volume scanner port: drive letters A to Z,
// the DOS device and volume name of each, the mount points in a volume's
// folders, the drive type of a root, the two storage requests on an opened
// volume and the setup interface's volume interfaces.
#include "drives/volume_scanner.h"

class CWin32VolumeScanner : public IVolumeScanner {
public:
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
};
