#pragma once
// A volume scanner for tests that answers from a script: which volume each
// letter holds (changed between refreshes to replay volumes that come, go
// and move), the folders where volumes are mounted, what the storage
// requests and the setup interfaces answer, and failures of each. It
// counts the storage requests per volume.
#include <map>
#include <string>
#include <vector>

#include "drives/volume_scanner.h"

class CScriptedVolumeScanner : public IVolumeScanner {
public:
    // Letters "A" to "Z", none of them holding a volume.
    CScriptedVolumeScanner();

    // The letters listed, in order (names such as "sdb1" too).
    void SetLetters(const std::vector<std::string>& arrLetters);
    // The letter holds the volume now (instead of what it held). With a
    // target, the letter's device is that ("\Device\Floppy1"); without one
    // the device request fails.
    void MountLetter(const std::string& strLetter, const std::string& strVolumeName, uint32_t nDriveType,
                     const std::string& strDosTarget = "");
    void UnmountLetter(const std::string& strLetter);
    // strVolumeName is mounted in strFolder ("mnt\data") of the host volume,
    // whichever letter that has; with an empty name, the folder is listed
    // but the name of what is mounted there cannot be had.
    void MountFolder(const std::string& strHostVolume, const std::string& strFolder,
                     const std::string& strVolumeName);
    // What a storage request on the volume answers; a volume without an
    // answer cannot be opened.
    void SetStorage(const std::string& strVolumeName, const T_VOLUME_STORAGE& storage);
    // The setup interfaces listed; with bFail the list cannot be had.
    void SetInterfaces(const std::vector<T_VOLUME_INTERFACE>& arrInterfaces, bool bFail = false);
    void SetDrivePath(uint32_t nKind, uint32_t nNumber, const std::string& strPath);
    // The size of the file system at the letter's root; without one the
    // request fails.
    void SetFileSystemTotalBytes(const std::string& strLetter, uint64_t nTotalBytes);

    // Storage requests made on the volume so far, and on all volumes.
    uint32_t StorageRequests(const std::string& strVolumeName) const;
    uint32_t StorageRequests() const;

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
    struct T_LETTER {
        std::string strVolumeName;
        uint32_t nDriveType = 0;
        std::string strDosTarget;
    };
    struct T_FOLDER {
        std::string strHostVolume;
        std::string strFolder;
        std::string strVolumeName;
    };

    std::vector<std::string> m_arrLetters;
    std::map<std::string, T_LETTER> m_letters;
    std::vector<T_FOLDER> m_arrFolders;
    std::map<std::string, T_VOLUME_STORAGE> m_storage;  // by volume path (no trailing backslash)
    std::map<std::string, uint32_t> m_storageRequests;
    std::vector<T_VOLUME_INTERFACE> m_arrInterfaces;
    bool m_bInterfacesFail = false;
    std::map<std::pair<uint32_t, uint32_t>, std::string> m_drivePaths;
    std::map<std::string, uint64_t> m_totalBytes;  // by root
};

// A volume on one disk: opened, one extent on the disk, and the device
// number request answered with the disk and the partition.
T_VOLUME_STORAGE StorageOnDisk(uint32_t nDisk, int32_t nPartition, uint64_t nStart = 0x100000,
                               uint64_t nLength = 0x40000000);
// A volume that answers only the device number request (a CD-ROM's).
T_VOLUME_STORAGE StorageOfDrive(uint32_t nDeviceType, uint32_t nNumber);
