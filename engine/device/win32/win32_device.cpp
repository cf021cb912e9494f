// Win32 adapter of the device port. Drives are opened unbuffered and
// written through, so blocks go straight between the aligned pool memory and
// the device. A path that is not a device path (\\.\...) is a regular file
// standing in for a drive: it is opened buffered, since a file's length
// need not be a sector multiple, and its length is the file's size.
#include <windows.h>
#include <winioctl.h>

#include "engine/device/device.h"
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
        if (!Seek(nOffset)) return T_IO_RESULT{false, 0, LastError()};
        DWORD nDone = 0;
        if (!::ReadFile(m_hFile, pData, nLength, &nDone, nullptr)) return T_IO_RESULT{false, nDone, LastError()};
        return T_IO_RESULT{true, nDone, 0};
    }

    T_IO_RESULT WriteAt(uint64_t nOffset, const void* pData, uint32_t nLength) override
    {
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

private:
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
};

}  // namespace

IDeviceProvider& GetPlatformDevices()
{
    static CWin32DeviceProvider provider;
    return provider;
}
