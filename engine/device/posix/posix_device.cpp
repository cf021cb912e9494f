// POSIX adapter of the device port. Drives are read with O_DIRECT straight
// into the aligned pool blocks; regular files are opened without it (tmpfs
// refuses it, and a file's length need not be a sector multiple). A volume
// is a partition device (/dev/sdb1); the storage requests are answered from
// sysfs, the volume requests by the volume handle and the medium requests.
#include <fcntl.h>
#include <linux/fs.h>
#undef BLOCK_SIZE  // the kernel header's; ours are named constants
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/device/device.h"
#include "engine/device/posix/posix_claims.h"
#include "engine/device/posix/posix_media.h"
#include "engine/device/posix/posix_storage.h"
#include "engine/device/posix/posix_sysfs.h"
#include "engine/device/posix/posix_volume_lock.h"

namespace {

class CPosixDevice : public IDevice {
public:
    explicit CPosixDevice(int fd) : m_handle(fd) {}
    CPosixDevice(const CPosixDevice&) = delete;
    CPosixDevice& operator=(const CPosixDevice&) = delete;

    T_IO_RESULT ReadAt(uint64_t nOffset, void* pData, uint32_t nLength) override
    {
        ssize_t n;
        do {
            n = ::pread(Fd(), pData, nLength, static_cast<off_t>(nOffset));
        } while (n < 0 && errno == EINTR);
        if (n < 0) return T_IO_RESULT{false, 0, static_cast<uint32_t>(errno)};
        return T_IO_RESULT{true, static_cast<uint32_t>(n), 0};
    }

    T_IO_RESULT WriteAt(uint64_t nOffset, const void* pData, uint32_t nLength) override
    {
        ssize_t n;
        do {
            n = ::pwrite(Fd(), pData, nLength, static_cast<off_t>(nOffset));
        } while (n < 0 && errno == EINTR);
        if (n < 0) return T_IO_RESULT{false, 0, static_cast<uint32_t>(errno)};
        return T_IO_RESULT{true, static_cast<uint32_t>(n), 0};
    }

    bool GetLengthInfo(uint64_t& nLength, uint32_t& nError) override
    {
        struct stat st {};
        if (::fstat(Fd(), &st) != 0) return Fail(nError);
        if (S_ISREG(st.st_mode)) {
            nLength = static_cast<uint64_t>(st.st_size);
            return true;
        }
        if (!S_ISBLK(st.st_mode)) {
            nError = ENOTTY;
            return false;
        }
        return ::ioctl(Fd(), BLKGETSIZE64, &nLength) == 0 || Fail(nError);
    }

    bool GetDriveGeometry(T_DISK_GEOMETRY& geometry, uint32_t& nError) override
    {
        // Linux keeps no true geometry; 512-byte sectors as one long track
        // give the same product.
        unsigned long nSectors = 0;
        if (::ioctl(Fd(), BLKGETSIZE, &nSectors) != 0) return Fail(nError);
        geometry = T_DISK_GEOMETRY{static_cast<int64_t>(nSectors), 0, 1, 1, 512};
        return true;
    }

    bool Flush(uint32_t& nError) override
    {
        return ::fsync(Fd()) == 0 || errno == EINVAL || Fail(nError);
    }

    bool SetLength(uint64_t nLength, uint32_t& nError) override
    {
        int n;
        do {
            n = ::ftruncate(Fd(), static_cast<off_t>(nLength));
        } while (n != 0 && errno == EINTR);
        return n == 0 || Fail(nError);
    }

    EDeviceKind GetKind() override { return PosixKindOf(Fd()); }
    T_STORAGE GetStorage() override { return PosixStorageOf(Fd()); }

    bool GetDeviceNumber(T_DEVICE_NUMBER& number, uint32_t& nError) override
    {
        dev_t nDevice = 0;
        return BlockDevice(nDevice, nError) && SysfsDeviceNumber(T_SYSFS_ROOTS{}, nDevice, number, nError);
    }

    bool GetVolumeDiskExtents(std::vector<T_DISK_EXTENT>& arrExtents, uint32_t& nError) override
    {
        dev_t nDevice = 0;
        return BlockDevice(nDevice, nError) && SysfsDiskExtents(T_SYSFS_ROOTS{}, nDevice, arrExtents, nError);
    }

    bool QueryStorageProperty(T_STORAGE_DESCRIPTOR& descriptor, uint32_t& nError) override
    {
        dev_t nDevice = 0;
        return BlockDevice(nDevice, nError) &&
               SysfsStorageDescriptor(T_SYSFS_ROOTS{}, nDevice, descriptor, nError);
    }

    bool LockVolume(uint32_t& nError) override { return m_handle.Lock(nError); }
    bool DismountVolume(uint32_t& nError) override { return m_handle.Dismount(nError); }
    bool UnlockVolume(uint32_t& nError) override { return m_handle.Unlock(nError); }
    bool AllowMediaRemoval(uint32_t& nError) override { return PosixAllowMediaRemoval(Fd(), nError); }
    bool EjectMedia(uint32_t& nError) override { return PosixEjectMedia(Fd(), nError); }
    bool LoadMedia(uint32_t& nError) override { return PosixLoadMedia(Fd(), nError); }

private:
    static bool Fail(uint32_t& nError)
    {
        nError = static_cast<uint32_t>(errno);
        return false;
    }

    int Fd() const { return m_handle.Fd(); }

    bool BlockDevice(dev_t& nDevice, uint32_t& nError) const { return PosixBlockDeviceOf(Fd(), nDevice, nError); }

    CPosixVolumeHandle m_handle;
};

bool IsDriveMode(EOpenMode eMode)
{
    return eMode == EOpenMode::ReadDrive || eMode == EOpenMode::ReadDriveShared || eMode == EOpenMode::WriteDrive ||
           eMode == EOpenMode::WriteDriveShared;
}

int OpenFlags(EOpenMode eMode)
{
    switch (eMode) {
    case EOpenMode::ReadDrive: return O_RDONLY | O_DIRECT | O_EXCL;
    case EOpenMode::ReadDriveShared: return O_RDONLY | O_DIRECT;
    case EOpenMode::WriteDrive: return O_RDWR | O_DIRECT | O_SYNC | O_EXCL;
    case EOpenMode::WriteDriveShared: return O_RDWR | O_DIRECT | O_SYNC;
    case EOpenMode::Volume:
    case EOpenMode::ProbeDrive:
    case EOpenMode::ReadImage: return O_RDONLY;
    case EOpenMode::CreateImageNew: return O_WRONLY | O_CREAT | O_EXCL;
    case EOpenMode::CreateImageAlways: return O_WRONLY | O_CREAT | O_TRUNC;
    case EOpenMode::ReplaceImage: return O_WRONLY;
    }
    return O_RDONLY;
}

// Drive modes on something that is not a block device (a regular file
// standing in for a drive) go without O_DIRECT and O_EXCL.
int AdjustForTarget(const std::string& strPath, EOpenMode eMode, int nFlags)
{
    if (!IsDriveMode(eMode)) return nFlags;
    struct stat st {};
    if (::stat(strPath.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) return nFlags;
    return nFlags & ~(O_DIRECT | O_EXCL);
}

// Opens without waiting: a FIFO or a terminal given as a drive or an image
// must not hang the open. Blocking mode is restored for the transfers.
int OpenNow(const std::string& strPath, int nFlags)
{
    int fd;
    do {
        fd = ::open(strPath.c_str(), nFlags | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// An exclusive open of a drive that the claims of this process's own
// volume locks refuse: the disk itself, or every partition of it, is held
// by this process, so the open goes without the claim.
bool RefusedByOwnLocks(const std::string& strPath, EOpenMode eMode, int nOpenError)
{
    struct stat st {};
    return (eMode == EOpenMode::WriteDrive || eMode == EOpenMode::ReadDrive) && nOpenError == EBUSY &&
           ::stat(strPath.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && HeldByOwnClaims(st.st_rdev);
}

// A drive that nobody can write (a CD or DVD drive, a read-only device)
// needs no claim to keep writers out: when the claim of a read is refused
// (a file system on it is mounted), the read goes without it. -1 with
// EBUSY for any other drive.
int OpenUnwritable(const std::string& strPath, int nFlags)
{
    const int fd = OpenNow(strPath, nFlags & ~O_EXCL);
    if (fd < 0) return fd;
    struct stat st {};
    int nReadOnly = 0;
    if ((::ioctl(fd, BLKROGET, &nReadOnly) == 0 && nReadOnly != 0) ||
        (::fstat(fd, &st) == 0 && SysfsMediaClass(T_SYSFS_ROOTS{}, st.st_rdev) == EMediaClass::Optical)) {
        return fd;
    }
    ::close(fd);
    errno = EBUSY;
    return -1;
}

class CPosixDeviceProvider : public IDeviceProvider {
public:
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override
    {
        const int nFlags = AdjustForTarget(strPath, eMode, OpenFlags(eMode));
        int fd = OpenNow(strPath, nFlags);
        int nOpenError = errno;
        if (fd < 0 && RefusedByOwnLocks(strPath, eMode, nOpenError)) {
            fd = OpenNow(strPath, nFlags & ~O_EXCL);
            nOpenError = errno;
        } else if (fd < 0 && eMode == EOpenMode::ReadDrive && nOpenError == EBUSY) {
            fd = OpenUnwritable(strPath, nFlags);
            nOpenError = errno;
        }
        if (fd < 0) {
            nError = static_cast<uint32_t>(nOpenError);
            return nullptr;
        }
        return std::make_unique<CPosixDevice>(fd);
    }

    bool RemoveFile(const std::string& strPath, uint32_t& nError) override
    {
        if (::unlink(strPath.c_str()) == 0) return true;
        nError = static_cast<uint32_t>(errno);
        return false;
    }
};

}  // namespace

IDeviceProvider& GetPlatformDevices()
{
    static CPosixDeviceProvider provider;
    return provider;
}
