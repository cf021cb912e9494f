// Win32 adapter of the device port. Drives are opened unbuffered and
// written through, so blocks go straight between the aligned pool memory and
// the device. A path that is not a device path (\\.\...) is a regular file
// standing in for a drive: it is opened buffered, since a file's length
// need not be a sector multiple, and its length is the file's size.
#include <windows.h>
#include <winioctl.h>

#include <optional>

#include "engine/device/device.h"
#include "engine/device/win32/win32_storage_requests.h"
#include "engine/device/win32/win32_transfers.h"
#include "engine/core/win32/text_win32.h"

namespace {

constexpr DWORD SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD DRIVE_FLAGS = FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH | FILE_ATTRIBUTE_NORMAL;

struct T_OPEN_PARAMS {
    DWORD dwAccess;
    DWORD dwShare;
    DWORD dwDisposition;
    DWORD dwFlags;
};

T_OPEN_PARAMS OpenParamsOf(EOpenMode eMode)
{
    switch (eMode) {
    case EOpenMode::ReadDrive: return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, DRIVE_FLAGS};
    case EOpenMode::ReadDriveShared: return {GENERIC_READ, SHARE_ALL, OPEN_EXISTING, DRIVE_FLAGS};
    case EOpenMode::WriteDrive: return {GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, DRIVE_FLAGS};
    case EOpenMode::WriteDriveShared: return {GENERIC_READ | GENERIC_WRITE, SHARE_ALL, OPEN_EXISTING, DRIVE_FLAGS};
    case EOpenMode::Volume: return {GENERIC_READ, SHARE_ALL, OPEN_EXISTING, 0};
    case EOpenMode::ProbeDrive: return {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0};
    case EOpenMode::ReadImage: return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL};
    case EOpenMode::CreateImageNew: return {GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW, FILE_ATTRIBUTE_NORMAL};
    case EOpenMode::CreateImageAlways:
        return {GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL};
    case EOpenMode::ReplaceImage: return {GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL};
    }
    return {GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL};
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// "\\.\PhysicalDrive0", "\\.\CDROM1", "\\.\E:" (either slash).
bool IsDevicePath(const std::string& strPath)
{
    return strPath.size() > 4 && IsSeparator(strPath[0]) && IsSeparator(strPath[1]) && strPath[2] == '.' &&
           IsSeparator(strPath[3]);
}

uint32_t LastError()
{
    return static_cast<uint32_t>(::GetLastError());
}

class CWin32Device : public IDevice {
public:
    CWin32Device(HANDLE hFile, bool bDevice) : m_hFile(hFile), m_bDevice(bDevice) {}
    ~CWin32Device() override { ::CloseHandle(m_hFile); }
    CWin32Device(const CWin32Device&) = delete;
    CWin32Device& operator=(const CWin32Device&) = delete;

    T_IO_RESULT ReadAt(uint64_t nOffset, void* pData, uint32_t nLength) override
    {
        const std::optional<CTransferInFlight> transfer = InFlight();
        if (!Seek(nOffset)) return T_IO_RESULT{false, 0, LastError()};
        DWORD nDone = 0;
        if (!::ReadFile(m_hFile, pData, nLength, &nDone, nullptr)) return T_IO_RESULT{false, nDone, LastError()};
        return T_IO_RESULT{true, nDone, 0};
    }

    T_IO_RESULT WriteAt(uint64_t nOffset, const void* pData, uint32_t nLength) override
    {
        const std::optional<CTransferInFlight> transfer = InFlight();
        if (!Seek(nOffset)) return T_IO_RESULT{false, 0, LastError()};
        DWORD nDone = 0;
        if (!::WriteFile(m_hFile, pData, nLength, &nDone, nullptr)) return T_IO_RESULT{false, nDone, LastError()};
        return T_IO_RESULT{true, nDone, 0};
    }

    bool GetLengthInfo(uint64_t& nLength, uint32_t& nError) override
    {
        if (!m_bDevice) {
            LARGE_INTEGER size{};
            if (!::GetFileSizeEx(m_hFile, &size)) return Fail(nError);
            nLength = static_cast<uint64_t>(size.QuadPart);
            return true;
        }
        GET_LENGTH_INFORMATION info{};
        if (!Control(IOCTL_DISK_GET_LENGTH_INFO, &info, sizeof info)) return Fail(nError);
        nLength = static_cast<uint64_t>(info.Length.QuadPart);
        return true;
    }

    bool GetDriveGeometry(T_DISK_GEOMETRY& geometry, uint32_t& nError) override
    {
        DISK_GEOMETRY disk{};
        if (!Control(IOCTL_DISK_GET_DRIVE_GEOMETRY, &disk, sizeof disk)) return Fail(nError);
        geometry.Cylinders = disk.Cylinders.QuadPart;
        geometry.MediaType = static_cast<uint32_t>(disk.MediaType);
        geometry.TracksPerCylinder = disk.TracksPerCylinder;
        geometry.SectorsPerTrack = disk.SectorsPerTrack;
        geometry.BytesPerSector = disk.BytesPerSector;
        return true;
    }

    bool Flush(uint32_t& nError) override { return ::FlushFileBuffers(m_hFile) || Fail(nError); }

    bool SetLength(uint64_t nLength, uint32_t& nError) override
    {
        return (Seek(nLength) && ::SetEndOfFile(m_hFile)) || Fail(nError);
    }

    // Files and disks are both FILE_TYPE_DISK; a handle that answers the
    // disk length request is a disk or volume, whatever its path looked like.
    EDeviceKind GetKind() override
    {
        switch (::GetFileType(m_hFile)) {
        case FILE_TYPE_CHAR: return EDeviceKind::CharacterDevice;
        case FILE_TYPE_PIPE: return EDeviceKind::PipeOrSocket;
        case FILE_TYPE_DISK: break;
        default: return EDeviceKind::Other;
        }
        GET_LENGTH_INFORMATION info{};
        if (m_bDevice || Control(IOCTL_DISK_GET_LENGTH_INFO, &info, sizeof info)) return EDeviceKind::BlockDevice;
        BY_HANDLE_FILE_INFORMATION file{};
        if (!::GetFileInformationByHandle(m_hFile, &file)) return EDeviceKind::Other;
        if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return EDeviceKind::Directory;
        return EDeviceKind::RegularFile;
    }

    T_STORAGE GetStorage() override
    {
        T_STORAGE storage;
        STORAGE_DEVICE_NUMBER number{};
        // Only a disk or volume is a device of its own; a file's handle may
        // answer the request with the disk under its volume (Wine does).
        if (GetKind() == EDeviceKind::BlockDevice &&
            Control(IOCTL_STORAGE_GET_DEVICE_NUMBER, &number, sizeof number)) {
            storage.self.arrDevices.push_back(DiskId(number.DeviceNumber));
            return storage;
        }
        BY_HANDLE_FILE_INFORMATION file{};
        if (!::GetFileInformationByHandle(m_hFile, &file)) return storage;
        const uint64_t nIndex = (uint64_t{file.nFileIndexHigh} << 32) | file.nFileIndexLow;
        storage.self.arrFiles.emplace_back(file.dwVolumeSerialNumber, nIndex);
        AddVolumeDisks(storage.below);
        return storage;
    }

    bool GetDeviceNumber(T_DEVICE_NUMBER& number, uint32_t& nError) override
    {
        return Win32DeviceNumber(m_hFile, number, nError);
    }
    bool GetVolumeDiskExtents(std::vector<T_DISK_EXTENT>& arrExtents, uint32_t& nError) override
    {
        return Win32DiskExtents(m_hFile, arrExtents, nError);
    }
    bool QueryStorageProperty(T_STORAGE_DESCRIPTOR& descriptor, uint32_t& nError) override
    {
        return Win32StorageDescriptor(m_hFile, descriptor, nError);
    }
    bool LockVolume(uint32_t& nError) override { return Request(FSCTL_LOCK_VOLUME, nError); }
    bool DismountVolume(uint32_t& nError) override { return Request(FSCTL_DISMOUNT_VOLUME, nError); }
    bool UnlockVolume(uint32_t& nError) override { return Request(FSCTL_UNLOCK_VOLUME, nError); }
    bool AllowMediaRemoval(uint32_t& nError) override
    {
        PREVENT_MEDIA_REMOVAL allow{};
        allow.PreventMediaRemoval = FALSE;
        return Win32Control(m_hFile, IOCTL_STORAGE_MEDIA_REMOVAL, &allow, sizeof allow, nullptr, 0, nError);
    }
    bool EjectMedia(uint32_t& nError) override { return Request(IOCTL_STORAGE_EJECT_MEDIA, nError); }
    bool LoadMedia(uint32_t& nError) override { return Request(IOCTL_STORAGE_LOAD_MEDIA, nError); }

private:
    // Only drives are cancelled: a file transfer that was cut short could
    // leave an image holding less than the job says.
    std::optional<CTransferInFlight> InFlight() const
    {
        if (!m_bDevice) return std::nullopt;
        return std::optional<CTransferInFlight>(std::in_place, m_hFile);
    }

    // A request without input or output.
    bool Request(DWORD dwCode, uint32_t& nError)
    {
        return Win32Control(m_hFile, dwCode, nullptr, 0, nullptr, 0, nError);
    }

    bool Seek(uint64_t nOffset)
    {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(nOffset);
        return ::SetFilePointerEx(m_hFile, position, nullptr, FILE_BEGIN) != FALSE;
    }

    bool Control(DWORD dwCode, void* pOut, DWORD nOut)
    {
        DWORD nReturned = 0;
        return ::DeviceIoControl(m_hFile, dwCode, nullptr, 0, pOut, nOut, &nReturned, nullptr) != FALSE;
    }

    static bool Fail(uint32_t& nError)
    {
        nError = LastError();
        return false;
    }

    static uint64_t DiskId(DWORD nDisk) { return (uint64_t{FILE_DEVICE_DISK} << 32) | nDisk; }

    // The disks under the volume that holds this file: its volume name
    // ("\\?\Volume{...}") from the handle, then the volume's extents.
    void AddVolumeDisks(T_STORAGE_IDS& ids)
    {
        wchar_t path[MAX_PATH * 2] = {};
        const DWORD n = ::GetFinalPathNameByHandleW(m_hFile, path, MAX_PATH * 2, VOLUME_NAME_GUID);
        const std::wstring strPath(path, n < MAX_PATH * 2 ? n : 0);
        const size_t nEnd = strPath.find(L'}');
        if (strPath.rfind(L"\\\\?\\Volume{", 0) != 0 || nEnd == std::wstring::npos) return;
        const std::wstring strVolume = strPath.substr(0, nEnd + 1);
        HANDLE hVolume = ::CreateFileW(strVolume.c_str(), 0, SHARE_ALL, nullptr, OPEN_EXISTING, 0, nullptr);
        if (hVolume == INVALID_HANDLE_VALUE) return;
        std::vector<T_DISK_EXTENT> arrExtents;
        uint32_t nError = 0;
        if (Win32DiskExtents(hVolume, arrExtents, nError)) {
            for (const T_DISK_EXTENT& extent : arrExtents) {
                ids.arrDevices.push_back(DiskId(static_cast<DWORD>(extent.DiskNumber)));
            }
        }
        ::CloseHandle(hVolume);
    }

    HANDLE m_hFile;
    const bool m_bDevice;
};

class CWin32DeviceProvider : public IDeviceProvider {
public:
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override
    {
        const bool bDevice = IsDevicePath(strPath);
        T_OPEN_PARAMS params = OpenParamsOf(eMode);
        if (!bDevice) params.dwFlags &= ~static_cast<DWORD>(FILE_FLAG_NO_BUFFERING);
        HANDLE hFile = ::CreateFileW(Utf8ToWide(strPath).c_str(), params.dwAccess, params.dwShare, nullptr,
                                     params.dwDisposition, params.dwFlags, nullptr);
        if (hFile == INVALID_HANDLE_VALUE) {
            nError = LastError();
            return nullptr;
        }
        return std::make_unique<CWin32Device>(hFile, bDevice);
    }

    bool RemoveFile(const std::string& strPath, uint32_t& nError) override
    {
        if (::DeleteFileW(Utf8ToWide(strPath).c_str())) return true;
        nError = LastError();
        return false;
    }

    size_t CancelWaitingTransfers(uint32_t nWaitedMs) override { return CancelTransfersWaitingSince(nWaitedMs); }
};

}  // namespace

IDeviceProvider& GetPlatformDevices()
{
    static CWin32DeviceProvider provider;
    return provider;
}
