// The Windows volume scanner: the system's calls on letters, volume names
// and mount points, translated to UTF-8.
#include "drives/win32/win32_volume_scanner.h"

#include <windows.h>

#include "drives/drive_kind.h"
#include "engine/core/win32/text_win32.h"
#include "engine/device/win32/win32_storage_requests.h"

namespace {

// Room for a DOS device target and for a mount point's name.
constexpr DWORD NAME_CHARS = 260;
// Room for a volume name ("\\?\Volume{GUID}\" with room to spare).
constexpr DWORD VOLUME_NAME_CHARS = 261;
constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

std::vector<std::string> CWin32VolumeScanner::ListLetters()
{
    std::vector<std::string> arrLetters;
    for (char c = 'A'; c <= 'Z'; ++c) arrLetters.push_back(std::string(1, c));
    return arrLetters;
}

std::string CWin32VolumeScanner::RootOf(const std::string& strLetter)
{
    return strLetter + ":\\";
}

bool CWin32VolumeScanner::QueryLetterDevice(const std::string& strLetter, T_DOS_DEVICE& device)
{
    char target[NAME_CHARS] = {};
    if (::QueryDosDeviceA((strLetter + ":").c_str(), target, NAME_CHARS) == 0) return false;
    target[NAME_CHARS - 1] = '\0';
    device = ParseDosDevice(target);
    return true;
}

bool CWin32VolumeScanner::GetVolumeNameForMountPoint(const std::string& strPath, std::string& strVolumeName)
{
    wchar_t volume[VOLUME_NAME_CHARS] = {};
    if (!::GetVolumeNameForVolumeMountPointW(Utf8ToWide(strPath).c_str(), volume, VOLUME_NAME_CHARS)) return false;
    volume[VOLUME_NAME_CHARS - 1] = L'\0';
    strVolumeName = WideToUtf8(volume);
    return true;
}

uint32_t CWin32VolumeScanner::GetRootDriveType(const std::string& strRoot)
{
    return ::GetDriveTypeW(Utf8ToWide(strRoot).c_str());
}

bool CWin32VolumeScanner::GetFileSystemTotalBytes(const std::string& strRoot, uint64_t& nTotalBytes)
{
    ULARGE_INTEGER total{};
    if (!::GetDiskFreeSpaceExW(Utf8ToWide(strRoot).c_str(), nullptr, &total, nullptr)) return false;
    nTotalBytes = total.QuadPart;
    return true;
}

std::vector<std::string> CWin32VolumeScanner::ListMountPoints(const std::string& strVolumeName)
{
    std::vector<std::string> arrFolders;
    wchar_t folder[NAME_CHARS] = {};
    HANDLE hFind = ::FindFirstVolumeMountPointW(Utf8ToWide(strVolumeName).c_str(), folder, NAME_CHARS);
    if (hFind == INVALID_HANDLE_VALUE) return arrFolders;
    do {
        folder[NAME_CHARS - 1] = L'\0';
        std::string strFolder = WideToUtf8(folder);
        // The system ends each name with a backslash; the inventory adds its own.
        if (!strFolder.empty() && strFolder.back() == '\\') strFolder.pop_back();
        if (!strFolder.empty()) arrFolders.push_back(strFolder);
    } while (::FindNextVolumeMountPointW(hFind, folder, NAME_CHARS));
    ::FindVolumeMountPointClose(hFind);
    return arrFolders;
}

T_VOLUME_STORAGE CWin32VolumeScanner::QueryVolumeStorage(const std::string& strVolumeName)
{
    T_VOLUME_STORAGE storage;
    HANDLE hVolume = ::CreateFileW(Utf8ToWide(strVolumeName).c_str(), GENERIC_READ, SHARE_ALL, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    if (hVolume == INVALID_HANDLE_VALUE) return storage;
    storage.bOpened = true;
    uint32_t nError = 0;
    storage.bExtents = Win32DiskExtents(hVolume, storage.arrExtents, nError);
    storage.bNumber = Win32DeviceNumber(hVolume, storage.number, nError);
    ::CloseHandle(hVolume);
    return storage;
}

bool CWin32VolumeScanner::GetDrivePath(uint32_t nKind, uint32_t nNumber, std::string& strPath)
{
    if (nKind == DRIVE_KIND_DISK) {
        strPath = "\\\\.\\PhysicalDrive" + std::to_string(nNumber);
    } else if (nKind == DRIVE_KIND_CDROM) {
        strPath = "\\\\.\\CDROM" + std::to_string(nNumber);
    } else if (nKind == DRIVE_KIND_FLOPPY && nNumber < 26) {
        strPath = std::string("\\\\.\\") + static_cast<char>('A' + nNumber) + ":";
    } else {
        return false;
    }
    return true;
}

std::unique_ptr<IVolumeScanner> CreatePlatformVolumeScanner()
{
    return std::make_unique<CWin32VolumeScanner>();
}
