#pragma once
// The storage requests of the Win32 adapter on an open handle: the device
// number, the volume's disk extents and the storage device descriptor, and
// one device control call for the requests without data.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/device/device.h"

// DeviceIoControl with the given buffers; false with GetLastError's code.
// pReturned, when given, receives the number of output bytes.
bool Win32Control(HANDLE hDevice, DWORD dwCode, const void* pIn, DWORD nIn, void* pOut, DWORD nOut,
                  uint32_t& nError, DWORD* pReturned = nullptr);

bool Win32DeviceNumber(HANDLE hDevice, T_DEVICE_NUMBER& number, uint32_t& nError);
bool Win32DiskExtents(HANDLE hDevice, std::vector<T_DISK_EXTENT>& arrExtents, uint32_t& nError);
bool Win32StorageDescriptor(HANDLE hDevice, T_STORAGE_DESCRIPTOR& descriptor, uint32_t& nError);

// The strings and the removable flag of a STORAGE_DEVICE_DESCRIPTOR of which
// nBytes arrived. An offset of 0 or 0xFFFFFFFF, or one outside the bytes that
// arrived, gives an empty string; a string ends at its NUL or at the end of
// those bytes. False when too few bytes arrived for the descriptor's header.
bool ParseStorageDescriptor(const uint8_t* pBuffer, size_t nBytes, T_STORAGE_DESCRIPTOR& descriptor);
