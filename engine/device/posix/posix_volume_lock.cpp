#include "engine/device/posix/posix_volume_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "engine/device/posix/posix_claims.h"
#include "engine/device/posix/posix_mounts.h"
#include "engine/device/posix/posix_storage.h"

CPosixVolumeHandle::~CPosixVolumeHandle()
{
    SetHeld(false);
    ::close(m_fd);
}

// Keeps the process's list of held claims in step with this handle's.
void CPosixVolumeHandle::SetHeld(bool bHeld)
{
    if (bHeld == (m_eLock == ELock::Held)) return;
    dev_t nDevice = 0;
    uint32_t nError = 0;
    if (bHeld) {
        if (PosixBlockDeviceOf(m_fd, nDevice, nError)) NoteClaimTaken(nDevice);
        m_nClaimed = nDevice;
        m_eLock = ELock::Held;
    } else {
        NoteClaimReleased(m_nClaimed);
        m_eLock = ELock::None;
    }
}

bool CPosixVolumeHandle::Lock(uint32_t& nError)
{
    dev_t nDevice = 0;
    if (!PosixBlockDeviceOf(m_fd, nDevice, nError)) return false;
    if (m_eLock != ELock::None) return true;
    uint32_t nClaimError = 0;
    if (Reopen(true, nClaimError)) {
        SetHeld(true);
        return true;
    }
    if (nClaimError == EBUSY && !MountPointsOf(nDevice).empty()) {
        m_eLock = ELock::Pending;
        return true;
    }
    nError = nClaimError;
    return false;
}

bool CPosixVolumeHandle::Dismount(uint32_t& nError)
{
    dev_t nDevice = 0;
    if (!PosixBlockDeviceOf(m_fd, nDevice, nError) || !UnmountAll(nDevice, nError)) return false;
    if (m_eLock != ELock::Pending) return true;
    if (!Reopen(true, nError)) return false;
    m_eLock = ELock::None;
    SetHeld(true);
    return true;
}

bool CPosixVolumeHandle::Unlock(uint32_t& nError)
{
    dev_t nDevice = 0;
    if (!PosixBlockDeviceOf(m_fd, nDevice, nError)) return false;
    if (m_eLock == ELock::None) {
        nError = ENOLCK;
        return false;
    }
    if (m_eLock == ELock::Held && !Reopen(false, nError)) return false;
    SetHeld(false);
    m_eLock = ELock::None;
    return true;
}

// Opens the same device again, with or without the claim, and puts the new
// description in place of the old one; closing the old one ends its claim.
bool CPosixVolumeHandle::Reopen(bool bExclusive, uint32_t& nError)
{
    const int nKeep = ::fcntl(m_fd, F_GETFL) & (O_ACCMODE | O_DIRECT | O_SYNC);
    const std::string strSelf = "/proc/self/fd/" + std::to_string(m_fd);
    int fd;
    do {
        fd = ::open(strSelf.c_str(), nKeep | (bExclusive ? O_EXCL : 0) | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        nError = static_cast<uint32_t>(errno);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    const bool bReplaced = ::dup3(fd, m_fd, O_CLOEXEC) >= 0;
    if (!bReplaced) nError = static_cast<uint32_t>(errno);
    ::close(fd);
    return bReplaced;
}
