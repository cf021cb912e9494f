// Scanning one letter: the volume it holds now against the records kept
// from earlier refreshes, the folder mount points of a new fixed volume,
// the letter's DOS device, and the setup interface's data of the volumes.
#include "drives/drive_info.h"

#include <algorithm>
#include <cstdint>

#include "drives/drive_kind.h"

namespace {

const char FLOPPY_PREFIX[] = "\\Device\\Floppy";
constexpr size_t FLOPPY_PREFIX_LENGTH = sizeof FLOPPY_PREFIX - 1;

// The decimal number at the start of the text, as atoi reads it (blanks,
// a sign, digits); 0 when there is none. Kept within 32 bits.
int32_t LeadingNumber(const std::string& strText)
{
    size_t i = 0;
    while (i < strText.size() && (strText[i] == ' ' || strText[i] == '\t')) ++i;
    bool bNegative = false;
    if (i < strText.size() && (strText[i] == '+' || strText[i] == '-')) bNegative = strText[i++] == '-';
    int64_t nValue = 0;
    for (; i < strText.size() && strText[i] >= '0' && strText[i] <= '9'; ++i) {
        nValue = std::min<int64_t>(nValue * 10 + (strText[i] - '0'), INT32_MAX);
    }
    return static_cast<int32_t>(bNegative ? -nValue : nValue);
}

}  // namespace

void CDriveInfo::ScanLetter(const std::string& strLetter)
{
    T_DOS_DEVICE dos;
    const bool bDos = m_scanner.QueryLetterDevice(strLetter, dos);
    const std::string strRoot = m_scanner.RootOf(strLetter);
    std::string strVolume;
    if (!m_scanner.GetVolumeNameForMountPoint(strRoot, strVolume)) {
        RemoveLetter(strLetter);
        return;
    }
    // A record of this volume under another letter is left over from before
    // the volume moved to this one.
    bool bKept = false;
    for (auto it = m_arrDrive.begin(); it != m_arrDrive.end();) {
        if (it->strVolumeName != strVolume) {
            ++it;
        } else if (!SameLetter(it->chLetter, strLetter)) {
            it = m_arrDrive.erase(it);
        } else {
            bKept = bKept || it->strRoot == strRoot;
            ++it;
        }
    }
    if (bKept) return;
    // The letter holds another volume than before: what was recorded for
    // it, the folder mount points of the old volume included, is gone.
    RemoveLetter(strLetter);
    DISK_DRIVE_INFO drive;
    drive.bUpdate = 1;
    drive.nDriveType = m_scanner.GetRootDriveType(strRoot);
    drive.chLetter = strLetter;
    drive.strRoot = strRoot;
    drive.strVolumeName = strVolume;
    if (bDos) {
        drive.strDosDevice = dos.strTarget;
        drive.bFloppy = dos.bFloppy;
    }
    if (drive.bFloppy) {
        drive.dwDeviceType = DRIVE_KIND_FLOPPY;
        drive.dwDeviceNumber = dos.nFloppy;
        drive.dwPartitionNumber = -1;
    }
    m_arrDrive.push_back(drive);
    // Mount points are looked at when a fixed volume's record is new, not on
    // later refreshes.
    if (drive.nDriveType == DRIVE_TYPE_FIXED) ScanMountPoints(strLetter, strVolume);
}

void CDriveInfo::ScanMountPoints(const std::string& strLetter, const std::string& strVolumeName)
{
    const std::string strRoot = m_scanner.RootOf(strLetter);
    for (const std::string& strFolder : m_scanner.ListMountPoints(strVolumeName)) {
        const std::string strPath = strRoot + strFolder + "\\";
        std::string strMounted;
        if (!m_scanner.GetVolumeNameForMountPoint(strPath, strMounted)) continue;
        // One record of the mounted volume stays, the one at this path.
        bool bKept = false;
        for (auto it = m_arrDrive.begin(); it != m_arrDrive.end();) {
            if (it->strVolumeName != strMounted) {
                ++it;
            } else if (!bKept && it->strRoot == strPath) {
                bKept = true;
                ++it;
            } else {
                it = m_arrDrive.erase(it);
            }
        }
        if (bKept) continue;
        DISK_DRIVE_INFO drive;
        drive.bUpdate = 1;
        drive.nDriveType = DRIVE_TYPE_FIXED;
        drive.chLetter = strLetter;
        drive.strRoot = strPath;
        drive.strVolumeName = strMounted;
        m_arrDrive.push_back(drive);
    }
}

T_DOS_DEVICE ParseDosDevice(const std::string& strTarget)
{
    T_DOS_DEVICE device;
    device.strTarget = strTarget;
    device.bFloppy = strTarget.compare(0, FLOPPY_PREFIX_LENGTH, FLOPPY_PREFIX) == 0;
    if (device.bFloppy) device.nFloppy = LeadingNumber(strTarget.substr(FLOPPY_PREFIX_LENGTH));
    return device;
}

bool CDriveInfo::ScanVolumeInterfaces()
{
    std::vector<T_VOLUME_INTERFACE> arrInterfaces;
    if (!m_scanner.ListVolumeInterfaces(arrInterfaces)) return false;
    for (const T_VOLUME_INTERFACE& volume : arrInterfaces) {
        if (volume.strVolumeName.empty()) continue;
        for (DISK_DRIVE_INFO& drive : m_arrDrive) {
            if (drive.strVolumeName != volume.strVolumeName) continue;
            drive.strInterfacePath = volume.strInterfacePath;
            drive.dnDevInst = volume.dnDevInst;
            drive.strPdoName = volume.strPdoName;
            drive.strDeviceId = volume.strDeviceId;
            if (volume.bParent) {
                drive.dnParent = volume.dnParent;
                drive.strParentId = volume.strParentId;
            }
        }
    }
    return true;
}
