#pragma once
// The raw device port: drives, volumes and image files opened with the
// system's open modes, whole-block transfers at an offset, the disk size
// requests and flushing. Each platform has an adapter; tests use fakes.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
    ReplaceImage,       // open an existing image for writing; its old contents stay until SetLength
};

// What an opened path really is. Drives are block devices or regular files
// standing in for them; an image is only ever a regular file.
enum class EDeviceKind { RegularFile, BlockDevice, Directory, CharacterDevice, PipeOrSocket, Other };

// Where an object's data lives, as opaque numbers of the platform: the
// devices (disks, partitions, layers below them) and the files (device and
// file number) that hold it. Two objects share storage when one's own ids
// meet the other's ids.
struct T_STORAGE_IDS {
    std::vector<uint64_t> arrDevices;
    std::vector<std::pair<uint64_t, uint64_t>> arrFiles;
};

struct T_STORAGE {
    T_STORAGE_IDS self;   // what this object is: a block device's number; a file's own id; a loop's backing file
    T_STORAGE_IDS below;  // what it is stored on, all the way down (for files: the file system's devices)
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
    // Cuts or extends the object to nLength bytes (images only).
    virtual bool SetLength(uint64_t nLength, uint32_t& nError) = 0;
    // What the opened handle is, asked of the handle itself.
    virtual EDeviceKind GetKind() = 0;
    // Where its data lives; empty lists when the platform cannot tell.
    virtual T_STORAGE GetStorage() = 0;
};

class IDeviceProvider {
public:
    virtual ~IDeviceProvider() = default;
    // Null with the system error code when the path cannot be opened.
    virtual std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) = 0;
    // Removes a file this program created and no longer wants.
    virtual bool RemoveFile(const std::string& strPath, uint32_t& nError) = 0;
};

// The adapter of the platform the program runs on.
IDeviceProvider& GetPlatformDevices();

// A drive's size: the length request, else the geometry's product.
bool GetDiskSize(IDevice& device, uint64_t& nSize, uint32_t& nError);

// True when writing to pFile would change the data of pDrive: the file is
// the drive, lives on it (or on one of its partitions or layers), or backs
// it (a loop device over the file).
bool IsStoredOn(const T_STORAGE& file, const T_STORAGE& drive);

// "a character device", "a folder", ... for messages about a wrong kind.
const char* DeviceKindText(EDeviceKind eKind);
