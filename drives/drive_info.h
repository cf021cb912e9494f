#pragma once
// The drive inventory: one record per mounted volume, with the letter the
// operator knows it by and the drive it lives on, kept up to date across
// refreshes. A record stays as it is while its letter keeps the same
// volume, so the storage requests run once per new volume; it goes when
// its letter loses the volume, when the volume moves to another letter, or
// when the letter is excluded from scanning. Everything it learns comes
// through the volume scanner port, and no failure is reported: a volume the
// system does not answer for simply has no record, or no drive.
#include <cstdint>
#include <string>
#include <vector>

#include "drives/volume_scanner.h"
#include "engine/device/device.h"

// One mounted volume. Records are copied whole.
struct DISK_DRIVE_INFO {
    uint32_t bUpdate = 0;  // new: the storage requests of the next refresh fill it
    uint32_t nDriveType = 0;  // the drive type of the root (DRIVE_TYPE_FIXED, ...)
    // The letter ("E"; "sdb1" on Linux); for a volume mounted in a folder,
    // the letter of the volume that holds the folder.
    std::string chLetter;
    std::string strRoot;  // "E:\", or "E:\folder\" for a folder mount point
    std::string strVolumeName;
    // From the setup interface.
    std::string strInterfacePath;
    uint32_t dnDevInst = 0;
    uint32_t dnParent = 0;
    std::string strDeviceId;
    std::string strParentId;
    std::string strPdoName;
    // The drive behind the volume: type -1, number 0, partition -1 when
    // the system cannot tell; a floppy keeps its own (0xE000, N, -1).
    uint32_t dwDeviceType = 0;
    int32_t dwDeviceNumber = 0;
    int32_t dwPartitionNumber = 0;
    uint32_t nExtents = 0;
    std::vector<T_DISK_EXTENT> Extents;  // nExtents of them
    std::string strDosDevice;  // the letter's device ("\Device\Floppy0"), empty when unknown
    bool bFloppy = false;
};

// What a failed device number request leaves in a record.
constexpr uint32_t DEVICE_TYPE_UNKNOWN = 0xFFFFFFFF;

class CDriveInfo {
public:
    explicit CDriveInfo(IVolumeScanner& scanner);
    virtual ~CDriveInfo();
    CDriveInfo(const CDriveInfo&) = delete;
    CDriveInfo& operator=(const CDriveInfo&) = delete;

    // Brings the records up to date with the mounted volumes: every letter
    // is scanned (a letter excluded by the mask loses its records instead),
    // the setup interfaces are attached, and the new records of disk,
    // removable, CD-ROM and RAM-disk volumes learn their drive. True.
    bool Refresh();
    // Updates the records of one letter.
    void ScanLetter(const std::string& strLetter);
    // Attaches the setup interface's data to the records of their volumes;
    // false only when the interfaces cannot be listed (the records keep
    // what they had).
    bool ScanVolumeInterfaces();
    // The letters of the volumes on a drive, in record order. A record with
    // extents belongs to the disks its extents name; any other record to
    // the drive of its device type and number. A letter may come twice (a
    // lettered volume and a folder mount point on the same disk).
    std::vector<std::string> GetDriveLetters(uint32_t nKind, uint32_t nNumber) const;
    // The record of a letter's own volume (not a folder mount point on it);
    // null when there is none. Letters compare without regard to case.
    const DISK_DRIVE_INFO* FindLetter(const std::string& strLetter) const;

    std::vector<DISK_DRIVE_INFO> m_arrDrive;
    // Letters that are not scanned: bit 0 = A: to bit 25 = Z:. Names longer
    // than one letter (Linux partitions) have no bit and are always scanned.
    uint32_t m_dwNoScanLetters = 0;

private:
    void RemoveLetter(const std::string& strLetter);
    void ScanMountPoints(const std::string& strLetter, const std::string& strVolumeName);
    void QueryStorage(DISK_DRIVE_INFO& drive);
    std::vector<std::string> LettersToScan();

    IVolumeScanner& m_scanner;
};

// True when two letters are the same, either case.
bool SameLetter(const std::string& a, const std::string& b);
// The bit of a letter in a letter mask (bit 0 = A:), either case; 0 for a
// name that is not a single letter A to Z.
uint32_t LetterBit(const std::string& strLetter);
