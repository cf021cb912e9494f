// Scanning one letter: the volume it holds now against the records kept
// from earlier refreshes, and the folder mount points of a new fixed
// volume.
#include "drives/drive_info.h"
#include "drives/drive_kind.h"

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
