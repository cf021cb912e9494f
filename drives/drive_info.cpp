// The drive inventory's refresh and its answers: which letters are looked
// at, the storage requests of new records, and the letters of a drive.
#include "drives/drive_info.h"

#include <algorithm>

#include "drives/drive_kind.h"

namespace {

char UpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Only volumes on drives that the program can work on are asked where
// they live.
bool IsStorageDriveType(uint32_t nDriveType)
{
    return nDriveType == DRIVE_TYPE_FIXED || nDriveType == DRIVE_TYPE_REMOVABLE || nDriveType == DRIVE_TYPE_CDROM ||
           nDriveType == DRIVE_TYPE_RAMDISK;
}

// A volume is opened by its name without the trailing backslash.
std::string VolumePathOf(const std::string& strVolumeName)
{
    if (!strVolumeName.empty() && strVolumeName.back() == '\\') {
        return strVolumeName.substr(0, strVolumeName.size() - 1);
    }
    return strVolumeName;
}

void SetUnknownDevice(DISK_DRIVE_INFO& drive)
{
    drive.dwDeviceType = DEVICE_TYPE_UNKNOWN;
    drive.dwDeviceNumber = 0;
    drive.dwPartitionNumber = -1;
}

bool OnDisk(const DISK_DRIVE_INFO& drive, uint64_t nDisk)
{
    const size_t nCount = std::min<size_t>(drive.nExtents, drive.Extents.size());
    return std::any_of(drive.Extents.begin(), drive.Extents.begin() + static_cast<std::ptrdiff_t>(nCount),
                       [nDisk](const T_DISK_EXTENT& extent) { return extent.DiskNumber == nDisk; });
}

}  // namespace

bool SameLetter(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return UpperAscii(x) == UpperAscii(y);
           });
}

uint32_t LetterBit(const std::string& strLetter)
{
    if (strLetter.size() != 1) return 0;
    const char c = UpperAscii(strLetter[0]);
    return (c >= 'A' && c <= 'Z') ? (1u << (c - 'A')) : 0;
}

CDriveInfo::CDriveInfo(IVolumeScanner& scanner) : m_scanner(scanner) {}

CDriveInfo::~CDriveInfo() = default;

bool CDriveInfo::Refresh()
{
    for (const std::string& strLetter : LettersToScan()) {
        if (m_dwNoScanLetters & LetterBit(strLetter)) {
            RemoveLetter(strLetter);
        } else {
            ScanLetter(strLetter);
        }
    }
    ScanVolumeInterfaces();
    for (DISK_DRIVE_INFO& drive : m_arrDrive) {
        if (!drive.bUpdate) continue;
        if (IsStorageDriveType(drive.nDriveType)) QueryStorage(drive);
        drive.bUpdate = 0;
    }
    return true;
}

// The scanner's letters, then those of records it no longer lists (on
// Linux a partition that went away is not listed, but its record must be
// looked at to go).
std::vector<std::string> CDriveInfo::LettersToScan()
{
    std::vector<std::string> arrLetters = m_scanner.ListLetters();
    for (const DISK_DRIVE_INFO& drive : m_arrDrive) {
        const bool bListed = std::any_of(arrLetters.begin(), arrLetters.end(),
                                         [&](const std::string& s) { return SameLetter(s, drive.chLetter); });
        if (!bListed) arrLetters.push_back(drive.chLetter);
    }
    return arrLetters;
}

void CDriveInfo::QueryStorage(DISK_DRIVE_INFO& drive)
{
    const T_VOLUME_STORAGE storage = m_scanner.QueryVolumeStorage(VolumePathOf(drive.strVolumeName));
    if (!storage.bOpened) {
        if (!drive.bFloppy) SetUnknownDevice(drive);
        return;
    }
    drive.nExtents = 0;
    drive.Extents.clear();
    if (storage.bExtents) {
        const size_t nCount = std::min(storage.arrExtents.size(), MAX_DISK_EXTENTS);
        drive.Extents.assign(storage.arrExtents.begin(), storage.arrExtents.begin() + static_cast<std::ptrdiff_t>(nCount));
        drive.nExtents = static_cast<uint32_t>(nCount);
    }
    if (storage.bNumber) {
        drive.dwDeviceType = storage.number.DeviceType;
        drive.dwDeviceNumber = static_cast<int32_t>(storage.number.DeviceNumber);
        drive.dwPartitionNumber = storage.number.PartitionNumber;
    } else if (!drive.bFloppy) {
        SetUnknownDevice(drive);
    }
}

void CDriveInfo::RemoveLetter(const std::string& strLetter)
{
    std::erase_if(m_arrDrive, [&](const DISK_DRIVE_INFO& drive) { return SameLetter(drive.chLetter, strLetter); });
}

std::vector<std::string> CDriveInfo::GetDriveLetters(uint32_t nKind, uint32_t nNumber) const
{
    std::vector<std::string> arrLetters;
    for (const DISK_DRIVE_INFO& drive : m_arrDrive) {
        const bool bMatch = (nKind == DRIVE_KIND_DISK && drive.nExtents > 0)
                                ? OnDisk(drive, nNumber)
                                : drive.dwDeviceType == nKind && drive.dwDeviceNumber == static_cast<int32_t>(nNumber);
        if (bMatch) arrLetters.push_back(drive.chLetter);
    }
    return arrLetters;
}

const DISK_DRIVE_INFO* CDriveInfo::FindLetter(const std::string& strLetter) const
{
    for (const DISK_DRIVE_INFO& drive : m_arrDrive) {
        if (SameLetter(drive.chLetter, strLetter) && drive.strRoot == m_scanner.RootOf(drive.chLetter)) return &drive;
    }
    return nullptr;
}
