#pragma once
// The raw device port: drives, volumes and image files opened with the
// system's open modes, whole-block transfers at an offset, the disk size
// requests and flushing. Each platform has an adapter; tests use fakes.
#include <cstdint>
#include <memory>
#include <string>

enum class EOpenMode {
    ReadDrive,          // read a drive; others may read it too
    ReadDriveShared,    // read a drive; others may also write it
    WriteDrive,         // write or erase a drive, exclusively
    WriteDriveShared,   // write or erase a drive with sharing allowed
    Volume,             // lock, dismount, eject or query a volume
    ProbeDrive,         // probe a drive for the drive list
    ReadImage,          // read an image file
    CreateImageNew,     // create an image file that must not exist yet
    CreateImageAlways,  // create an image file, replacing an existing one
};

// The classic disk geometry; its product is the fallback size of a drive.
struct T_DISK_GEOMETRY {
    int64_t Cylinders = 0;
    uint32_t MediaType = 0;
    uint32_t TracksPerCylinder = 0;
    uint32_t SectorsPerTrack = 0;
    uint32_t BytesPerSector = 0;
};

// The outcome of one transfer: success, bytes moved, the system error code.
struct T_IO_RESULT {
    bool bOk = false;
    uint32_t nCount = 0;
    uint32_t nError = 0;
};

class IDevice {
public:
    virtual ~IDevice() = default;
    virtual T_IO_RESULT ReadAt(uint64_t nOffset, void* pData, uint32_t nLength) = 0;
    virtual T_IO_RESULT WriteAt(uint64_t nOffset, const void* pData, uint32_t nLength) = 0;
    // The disk length request; false with the error code when unanswered.
    virtual bool GetLengthInfo(uint64_t& nLength, uint32_t& nError) = 0;
    // The disk geometry request.
    virtual bool GetDriveGeometry(T_DISK_GEOMETRY& geometry, uint32_t& nError) = 0;
    virtual bool Flush(uint32_t& nError) = 0;
};

class IDeviceProvider {
public:
    virtual ~IDeviceProvider() = default;
    // Null with the system error code when the path cannot be opened.
    virtual std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) = 0;
};

// The adapter of the platform the program runs on.
IDeviceProvider& GetPlatformDevices();

// A drive's size: the length request, else the geometry's product.
bool GetDiskSize(IDevice& device, uint64_t& nSize, uint32_t& nError);
