#include "engine/device/win32/win32_storage_requests.h"

#include <winioctl.h>

#include <cstring>
#include <string>

namespace {

// The descriptor's room, as the drive list has always asked for it.
constexpr DWORD DESCRIPTOR_BYTES = 1040;
constexpr DWORD NO_STRING = 0xFFFFFFFF;

std::string StringAt(const uint8_t* pBuffer, size_t nBytes, DWORD nOffset)
{
    if (nOffset == 0 || nOffset == NO_STRING || nOffset >= nBytes) return std::string();
    const char* pText = reinterpret_cast<const char*>(pBuffer + nOffset);
    const void* pEnd = std::memchr(pText, 0, nBytes - nOffset);
    return std::string(pText, pEnd ? static_cast<const char*>(pEnd) - pText : nBytes - nOffset);
}

}  // namespace

bool Win32Control(HANDLE hDevice, DWORD dwCode, const void* pIn, DWORD nIn, void* pOut, DWORD nOut,
                  uint32_t& nError, DWORD* pReturned)
{
    DWORD nReturned = 0;
    if (::DeviceIoControl(hDevice, dwCode, const_cast<void*>(pIn), nIn, pOut, nOut, &nReturned, nullptr)) {
        if (pReturned) *pReturned = nReturned;
        return true;
    }
    nError = static_cast<uint32_t>(::GetLastError());
    return false;
}

bool Win32DeviceNumber(HANDLE hDevice, T_DEVICE_NUMBER& number, uint32_t& nError)
{
    STORAGE_DEVICE_NUMBER answer{};
    if (!Win32Control(hDevice, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &answer, sizeof answer, nError)) {
        return false;
    }
    number.DeviceType = static_cast<uint32_t>(answer.DeviceType);
    number.DeviceNumber = answer.DeviceNumber;
    number.PartitionNumber = static_cast<int32_t>(answer.PartitionNumber);
    return true;
}

bool Win32DiskExtents(HANDLE hDevice, std::vector<T_DISK_EXTENT>& arrExtents, uint32_t& nError)
{
    constexpr size_t EXTENTS_BYTES = sizeof(VOLUME_DISK_EXTENTS) + (MAX_DISK_EXTENTS - 1) * sizeof(DISK_EXTENT);
    alignas(VOLUME_DISK_EXTENTS) BYTE buffer[EXTENTS_BYTES] = {};
    if (!Win32Control(hDevice, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer, sizeof buffer, nError)) {
        return false;
    }
    const auto* pExtents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(buffer);
    arrExtents.clear();
    for (DWORD i = 0; i < pExtents->NumberOfDiskExtents && i < MAX_DISK_EXTENTS; ++i) {
        const DISK_EXTENT& extent = pExtents->Extents[i];
        arrExtents.push_back(T_DISK_EXTENT{extent.DiskNumber, static_cast<uint64_t>(extent.StartingOffset.QuadPart),
                                           static_cast<uint64_t>(extent.ExtentLength.QuadPart)});
    }
    return true;
}

bool Win32StorageDescriptor(HANDLE hDevice, T_STORAGE_DESCRIPTOR& descriptor, uint32_t& nError)
{
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    alignas(STORAGE_DEVICE_DESCRIPTOR) uint8_t buffer[DESCRIPTOR_BYTES] = {};
    DWORD nReturned = 0;
    if (!Win32Control(hDevice, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer, sizeof buffer, nError,
                      &nReturned)) {
        return false;
    }
    ParseStorageDescriptor(buffer, nReturned, descriptor);
    return true;
}

bool ParseStorageDescriptor(const uint8_t* pBuffer, size_t nBytes, T_STORAGE_DESCRIPTOR& descriptor)
{
    descriptor = T_STORAGE_DESCRIPTOR{};
    STORAGE_DEVICE_DESCRIPTOR header{};
    if (nBytes < offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties)) return false;
    std::memcpy(&header, pBuffer, offsetof(STORAGE_DEVICE_DESCRIPTOR, RawDeviceProperties));
    descriptor.strVendor = StringAt(pBuffer, nBytes, header.VendorIdOffset);
    descriptor.strProduct = StringAt(pBuffer, nBytes, header.ProductIdOffset);
    descriptor.strRevision = StringAt(pBuffer, nBytes, header.ProductRevisionOffset);
    descriptor.strSerial = StringAt(pBuffer, nBytes, header.SerialNumberOffset);
    descriptor.bRemovableMedia = header.RemovableMedia != FALSE;
    return true;
}
