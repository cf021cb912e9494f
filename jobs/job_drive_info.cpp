#include "jobs/job_drive_info.h"

#include <algorithm>
#include <cctype>

#include "engine/core/format.h"

std::string CJobDriveInfo::GetDrivePath(uint32_t nKind, int nNumber)
{
    std::string strPath;
    if (nNumber < 0 || !m_scanner.GetDrivePath(nKind, static_cast<uint32_t>(nNumber), strPath))
        return {};
    return strPath;
}

// A drive letter becomes "E:" opened as "\\.\E:"; a partition name
// ("sdb1") stays as it is and is opened by its root, "/dev/sdb1". A letter
// that comes twice (a folder mount point on the same disk) counts once.
std::vector<T_JOB_VOLUME> CJobDriveInfo::GetDriveVolumes(uint32_t nKind, int nNumber)
{
    std::vector<T_JOB_VOLUME> arrVolumes;
    if (nNumber < 0) return arrVolumes;
    std::vector<std::string> arrSeen;
    for (const std::string& strLetter :
         m_drives.GetDriveLetters(nKind, static_cast<uint32_t>(nNumber))) {
        const auto isSame = [&](const std::string& strSeen) { return SameLetter(strSeen, strLetter); };
        if (std::any_of(arrSeen.begin(), arrSeen.end(), isSame)) continue;
        arrSeen.push_back(strLetter);
        T_JOB_VOLUME volume;
        const uint32_t dwBit = LetterBit(strLetter);
        if (dwBit != 0) {
            const auto cLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(strLetter[0])));
            volume.nLetter = cLetter - 'A';
            volume.strName = std::string(1, cLetter) + ":";
            volume.strPath = FormatText("\\\\.\\%c:", static_cast<unsigned>(cLetter));
        } else {
            volume.strName = strLetter;
            volume.strPath = m_scanner.RootOf(strLetter);
        }
        arrVolumes.push_back(volume);
    }
    return arrVolumes;
}
