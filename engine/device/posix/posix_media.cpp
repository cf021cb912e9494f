#include "engine/device/posix/posix_media.h"

#include <linux/cdrom.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "engine/device/posix/posix_scsi.h"
#include "engine/device/posix/posix_storage.h"
#include "engine/device/posix/posix_sysfs.h"

namespace {

// The medium class of the drive behind fd; Fixed for what is no block device.
EMediaClass MediaClassOf(int fd)
{
    dev_t nDevice = 0;
    uint32_t nError = 0;
    return PosixBlockDeviceOf(fd, nDevice, nError) ? SysfsMediaClass(T_SYSFS_ROOTS{}, nDevice) : EMediaClass::Fixed;
}

bool Control(int fd, unsigned long nRequest, unsigned long nArgument, uint32_t& nError)
{
    int n;
    do {
        n = ::ioctl(fd, nRequest, nArgument);
    } while (n < 0 && errno == EINTR);
    if (n >= 0) return true;
    nError = static_cast<uint32_t>(errno);
    return false;
}

bool NotAnswered(uint32_t& nError)
{
    nError = ENOTTY;
    return false;
}

}  // namespace

bool PosixAllowMediaRemoval(int fd, uint32_t& nError)
{
    switch (MediaClassOf(fd)) {
    case EMediaClass::Optical: return Control(fd, CDROM_LOCKDOOR, 0, nError);
    case EMediaClass::Removable: return ScsiAllowMediumRemoval(fd, nError);
    case EMediaClass::Fixed: break;
    }
    return NotAnswered(nError);
}

bool PosixEjectMedia(int fd, uint32_t& nError)
{
    switch (MediaClassOf(fd)) {
    case EMediaClass::Optical: return Control(fd, CDROMEJECT, 0, nError);
    case EMediaClass::Removable: return ScsiStartStopUnit(fd, false, nError);
    case EMediaClass::Fixed: break;
    }
    return NotAnswered(nError);
}

bool PosixLoadMedia(int fd, uint32_t& nError)
{
    switch (MediaClassOf(fd)) {
    case EMediaClass::Optical: return Control(fd, CDROMCLOSETRAY, 0, nError);
    case EMediaClass::Removable: return ScsiStartStopUnit(fd, true, nError);
    case EMediaClass::Fixed: break;
    }
    return NotAnswered(nError);
}
