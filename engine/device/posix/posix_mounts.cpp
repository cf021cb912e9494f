#include "engine/device/posix/posix_mounts.h"

#include <sys/mount.h>
#undef BLOCK_SIZE  // the kernel header's; ours are named constants
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace {

bool IsOctalEscape(const std::string& strField, size_t i)
{
    if (strField[i] != '\\' || i + 3 >= strField.size()) return false;
    for (size_t k = i + 1; k <= i + 3; ++k) {
        if (strField[k] < '0' || strField[k] > '7') return false;
    }
    return true;
}

// mountinfo writes space, tab, line feed and backslash as "\ooo".
std::string Unescape(const std::string& strField)
{
    std::string strOut;
    for (size_t i = 0; i < strField.size(); ++i) {
        if (IsOctalEscape(strField, i)) {
            strOut.push_back(static_cast<char>(std::stoi(strField.substr(i + 1, 3), nullptr, 8)));
            i += 3;
        } else {
            strOut.push_back(strField[i]);
        }
    }
    return strOut;
}

// "ID PARENT MAJ:MIN ROOT TARGET OPTIONS [OPTIONAL...] - FSTYPE SOURCE SUPER"
bool ParseLine(const std::string& strLine, T_MOUNT& mount)
{
    std::istringstream in(strLine);
    std::vector<std::string> arrFields;
    for (std::string strField; in >> strField;) arrFields.push_back(strField);
    size_t nSeparator = 6;
    while (nSeparator < arrFields.size() && arrFields[nSeparator] != "-") ++nSeparator;
    if (nSeparator + 2 >= arrFields.size()) return false;
    unsigned nMajor = 0, nMinor = 0;
    char colon = 0;
    std::istringstream number(arrFields[2]);
    if (!(number >> nMajor >> colon >> nMinor) || colon != ':') return false;
    mount.nDevice = makedev(nMajor, nMinor);
    mount.strTarget = Unescape(arrFields[4]);
    mount.strSource = Unescape(arrFields[nSeparator + 2]);
    return true;
}

bool IsNodeOf(const std::string& strSource, dev_t nDevice)
{
    struct stat st {};
    return !strSource.empty() && strSource[0] == '/' && ::stat(strSource.c_str(), &st) == 0 &&
           S_ISBLK(st.st_mode) && st.st_rdev == nDevice;
}

}  // namespace

std::vector<T_MOUNT> ParseMountInfo(std::istream& in)
{
    std::vector<T_MOUNT> arrMounts;
    for (std::string strLine; std::getline(in, strLine);) {
        T_MOUNT mount;
        if (ParseLine(strLine, mount)) arrMounts.push_back(mount);
    }
    return arrMounts;
}

std::vector<std::string> MountPointsOf(dev_t nDevice)
{
    std::ifstream in("/proc/self/mountinfo");
    const std::vector<T_MOUNT> arrMounts = ParseMountInfo(in);
    std::vector<std::string> arrTargets;
    for (auto it = arrMounts.rbegin(); it != arrMounts.rend(); ++it) {
        if (it->nDevice == nDevice || IsNodeOf(it->strSource, nDevice)) arrTargets.push_back(it->strTarget);
    }
    return arrTargets;
}

bool UnmountAll(dev_t nDevice, uint32_t& nError)
{
    for (const std::string& strTarget : MountPointsOf(nDevice)) {
        // EINVAL: no longer a mount point (unmounted meanwhile), which is
        // what was wanted.
        if (::umount2(strTarget.c_str(), UMOUNT_NOFOLLOW) != 0 && errno != EINVAL) {
            nError = static_cast<uint32_t>(errno);
            return false;
        }
    }
    return true;
}
