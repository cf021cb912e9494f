#pragma once
// The raw device port: drives, volumes and image files opened with the
// system's open modes, whole-block transfers at an offset, the disk size
// requests and flushing. Each platform has an adapter; tests use fakes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class EOpenMode {
    ReadDrive,          // read a drive; others may read it too, but nobody may write it
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

// Device types of the device number request, as the platform numbers them
// (the same values as the drive kinds of a disk and a CD-ROM drive).
constexpr uint32_t DEVICE_NUMBER_TYPE_CD_ROM = 2;
constexpr uint32_t DEVICE_NUMBER_TYPE_DISK = 7;

// The disk behind a volume. DeviceNumber is the platform's disk number: N
// of "\\.\PhysicalDriveN" (or of "\\.\CDROMN") on Windows, the whole disk's
// device number (dev_t) on Linux. PartitionNumber is the volume's partition
// on that disk, 0 for a whole disk, -1 for a device that has no partitions.
struct T_DEVICE_NUMBER {
    uint32_t DeviceType = 0;
    uint64_t DeviceNumber = 0;
    int32_t PartitionNumber = -1;
};

// One stretch of a disk that a volume occupies; DiskNumber as in
// T_DEVICE_NUMBER::DeviceNumber.
struct T_DISK_EXTENT {
    uint64_t DiskNumber = 0;
    uint64_t StartingOffset = 0;
    uint64_t ExtentLength = 0;
};

// The most extents a volume reports.
constexpr size_t MAX_DISK_EXTENTS = 256;

// What a drive says about itself: the identification strings as the device
// reports them (often padded with blanks; empty when it gives none), and
// whether its medium can be removed.
struct T_STORAGE_DESCRIPTOR {
    std::string strVendor;
    std::string strProduct;
    std::string strRevision;
    std::string strSerial;
    bool bRemovableMedia = false;
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

    // The storage requests. Each answers for the opened disk or volume, or
    // fails with the system error code (the platform's "not supported" for
    // something that is neither, or a device without the answer).
    //
    // The disk, and the partition on it, behind a volume or disk. A volume
    // that spans several disks has no single answer: ask its extents.
    virtual bool GetDeviceNumber(T_DEVICE_NUMBER& number, uint32_t& nError) = 0;
    // The disks a volume spans, at most MAX_DISK_EXTENTS of them, in the
    // order the platform lists them.
    virtual bool GetVolumeDiskExtents(std::vector<T_DISK_EXTENT>& arrExtents, uint32_t& nError) = 0;
    // The identification of the drive behind the handle.
    virtual bool QueryStorageProperty(T_STORAGE_DESCRIPTOR& descriptor, uint32_t& nError) = 0;

    // The volume requests, on a handle opened with EOpenMode::Volume. A
    // caller that prepares a volume for writing its drive goes
    //     Open (Volume) -> LockVolume -> DismountVolume -> ... -> UnlockVolume
    // and one that ejects goes AllowMediaRemoval -> EjectMedia. The lock
    // lasts until UnlockVolume or until the handle is dropped.
    //
    // Exclusive use of the volume: nothing else may mount or claim it while
    // held. Refused while the volume is in use. On Linux, a mounted volume
    // is claimed when DismountVolume has unmounted it (files still open on
    // it make that dismount fail with EBUSY).
    virtual bool LockVolume(uint32_t& nError) = 0;
    // The file system lets go of the volume. Windows refuses a drive without
    // a medium with "not ready" (SystemError::NotReady), which callers may
    // count as done. Linux unmounts every mount point of the volume, never
    // lazily; a volume with nothing mounted (no medium, say) is done at once.
    virtual bool DismountVolume(uint32_t& nError) = 0;
    // Releases the lock; the handle stays open. Fails when none is held.
    virtual bool UnlockVolume(uint32_t& nError) = 0;
    // Lets the medium be removed (lifts a "prevent removal").
    virtual bool AllowMediaRemoval(uint32_t& nError) = 0;
    // Ejects the medium (opens the tray). Only optical drives and drives with
    // removable media answer; a fixed disk is never told to stop.
    virtual bool EjectMedia(uint32_t& nError) = 0;
    // Loads the medium again (closes the tray).
    virtual bool LoadMedia(uint32_t& nError) = 0;
};

class IDeviceProvider {
public:
    virtual ~IDeviceProvider() = default;
    // Null with the system error code when the path cannot be opened.
    virtual std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) = 0;
    // Removes a file this program created and no longer wants.
    virtual bool RemoveFile(const std::string& strPath, uint32_t& nError) = 0;
    // Tells every drive transfer (ReadAt, WriteAt on a drive opened here)
    // that has waited at least nWaitedMs to give up: it then fails with
    // SystemError::Cancelled(). Returns how many were told. Where the
    // platform cannot end a transfer that waits in the device (Linux: a
    // drive that stopped answering), nothing happens and 0 is returned;
    // the transfer waits on, and so does the thread that made it.
    virtual size_t CancelWaitingTransfers(uint32_t nWaitedMs)
    {
        (void)nWaitedMs;
        return 0;
    }
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
// The lines of a drive that did not open: "can't open disk %s.\n%s\n" with
// the system's text, and for a drive that someone else holds a line that
// says so.
void LogDiskOpenError(const std::string& strPath, uint32_t nError);
