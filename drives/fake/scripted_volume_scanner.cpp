// The scripted volume scanner of the tests.
#include "drives/fake/scripted_volume_scanner.h"

#include "drives/drive_kind.h"

namespace {

std::string PathOf(const std::string& strVolumeName)
{
    if (!strVolumeName.empty() && strVolumeName.back() == '\\') {
        return strVolumeName.substr(0, strVolumeName.size() - 1);
    }
    return strVolumeName;
}

}  // namespace

CScriptedVolumeScanner::CScriptedVolumeScanner()
{
    for (char c = 'A'; c <= 'Z'; ++c) m_arrLetters.push_back(std::string(1, c));
}

void CScriptedVolumeScanner::SetLetters(const std::vector<std::string>& arrLetters)
{
    m_arrLetters = arrLetters;
}

void CScriptedVolumeScanner::MountLetter(const std::string& strLetter, const std::string& strVolumeName,
                                         uint32_t nDriveType, const std::string& strDosTarget)
{
    m_letters[strLetter] = T_LETTER{strVolumeName, nDriveType, strDosTarget};
}

void CScriptedVolumeScanner::UnmountLetter(const std::string& strLetter)
{
    m_letters.erase(strLetter);
}

void CScriptedVolumeScanner::MountFolder(const std::string& strHostVolume, const std::string& strFolder,
                                         const std::string& strVolumeName)
{
    m_arrFolders.push_back(T_FOLDER{strHostVolume, strFolder, strVolumeName});
}

void CScriptedVolumeScanner::SetStorage(const std::string& strVolumeName, const T_VOLUME_STORAGE& storage)
{
    m_storage[PathOf(strVolumeName)] = storage;
}

void CScriptedVolumeScanner::SetInterfaces(const std::vector<T_VOLUME_INTERFACE>& arrInterfaces, bool bFail)
{
    m_arrInterfaces = arrInterfaces;
    m_bInterfacesFail = bFail;
}

void CScriptedVolumeScanner::SetDrivePath(uint32_t nKind, uint32_t nNumber, const std::string& strPath)
{
    m_drivePaths[{nKind, nNumber}] = strPath;
}

void CScriptedVolumeScanner::SetFileSystemTotalBytes(const std::string& strLetter, uint64_t nTotalBytes)
{
    m_totalBytes[RootOf(strLetter)] = nTotalBytes;
}

uint32_t CScriptedVolumeScanner::StorageRequests(const std::string& strVolumeName) const
{
    const auto it = m_storageRequests.find(PathOf(strVolumeName));
    return it == m_storageRequests.end() ? 0 : it->second;
}

uint32_t CScriptedVolumeScanner::StorageRequests() const
{
    uint32_t nTotal = 0;
    for (const auto& [strPath, nCount] : m_storageRequests) nTotal += nCount;
    return nTotal;
}

std::vector<std::string> CScriptedVolumeScanner::ListLetters()
{
    return m_arrLetters;
}

std::string CScriptedVolumeScanner::RootOf(const std::string& strLetter)
{
    return strLetter + ":\\";
}

bool CScriptedVolumeScanner::QueryLetterDevice(const std::string& strLetter, T_DOS_DEVICE& device)
{
    const auto it = m_letters.find(strLetter);
    if (it == m_letters.end() || it->second.strDosTarget.empty()) return false;
    device = ParseDosDevice(it->second.strDosTarget);
    return true;
}

bool CScriptedVolumeScanner::GetVolumeNameForMountPoint(const std::string& strPath, std::string& strVolumeName)
{
    for (const auto& [strLetter, letter] : m_letters) {
        if (RootOf(strLetter) == strPath) {
            strVolumeName = letter.strVolumeName;
            return true;
        }
        for (const T_FOLDER& folder : m_arrFolders) {
            if (folder.strHostVolume == letter.strVolumeName && RootOf(strLetter) + folder.strFolder + "\\" == strPath) {
                strVolumeName = folder.strVolumeName;
                return !strVolumeName.empty();
            }
        }
    }
    return false;
}

uint32_t CScriptedVolumeScanner::GetRootDriveType(const std::string& strRoot)
{
    for (const auto& [strLetter, letter] : m_letters) {
        if (RootOf(strLetter) == strRoot) return letter.nDriveType;
    }
    return DRIVE_TYPE_NO_ROOT_DIR;
}

bool CScriptedVolumeScanner::GetFileSystemTotalBytes(const std::string& strRoot, uint64_t& nTotalBytes)
{
    const auto it = m_totalBytes.find(strRoot);
    if (it == m_totalBytes.end()) return false;
    nTotalBytes = it->second;
    return true;
}

std::vector<std::string> CScriptedVolumeScanner::ListMountPoints(const std::string& strVolumeName)
{
    std::vector<std::string> arrFolders;
    for (const T_FOLDER& folder : m_arrFolders) {
        if (folder.strHostVolume == strVolumeName) arrFolders.push_back(folder.strFolder);
    }
    return arrFolders;
}

T_VOLUME_STORAGE CScriptedVolumeScanner::QueryVolumeStorage(const std::string& strVolumeName)
{
    ++m_storageRequests[strVolumeName];
    const auto it = m_storage.find(strVolumeName);
    return it == m_storage.end() ? T_VOLUME_STORAGE{} : it->second;
}

bool CScriptedVolumeScanner::ListVolumeInterfaces(std::vector<T_VOLUME_INTERFACE>& arrInterfaces)
{
    if (m_bInterfacesFail) return false;
    arrInterfaces = m_arrInterfaces;
    return true;
}

bool CScriptedVolumeScanner::GetDrivePath(uint32_t nKind, uint32_t nNumber, std::string& strPath)
{
    const auto it = m_drivePaths.find({nKind, nNumber});
    if (it == m_drivePaths.end()) return false;
    strPath = it->second;
    return true;
}

T_VOLUME_STORAGE StorageOnDisk(uint32_t nDisk, int32_t nPartition, uint64_t nStart, uint64_t nLength)
{
    T_VOLUME_STORAGE storage;
    storage.bOpened = true;
    storage.bExtents = true;
    storage.arrExtents = {T_DISK_EXTENT{nDisk, nStart, nLength}};
    storage.bNumber = true;
    storage.number = T_DEVICE_NUMBER{DRIVE_KIND_DISK, nDisk, nPartition};
    return storage;
}

T_VOLUME_STORAGE StorageOfDrive(uint32_t nDeviceType, uint32_t nNumber)
{
    T_VOLUME_STORAGE storage;
    storage.bOpened = true;
    storage.bNumber = true;
    storage.number = T_DEVICE_NUMBER{nDeviceType, nNumber, -1};
    return storage;
}
