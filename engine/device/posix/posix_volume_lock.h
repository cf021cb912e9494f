#pragma once
// The descriptor of an opened device, and the volume lock held through it.
// A volume is locked by claiming its block device exclusively (O_EXCL):
// while the claim is held nothing can mount the volume, and no exclusive
// open of it or of its disk succeeds. The claim is taken by reopening the
// descriptor (its number stays the same) and ends on unlock or close.
#include <sys/types.h>

#include <cstdint>

class CPosixVolumeHandle {
public:
    explicit CPosixVolumeHandle(int fd) : m_fd(fd) {}
    ~CPosixVolumeHandle();
    CPosixVolumeHandle(const CPosixVolumeHandle&) = delete;
    CPosixVolumeHandle& operator=(const CPosixVolumeHandle&) = delete;

    int Fd() const { return m_fd; }
    // Claims the volume. A mounted volume cannot be claimed yet: the lock is
    // granted and its claim taken by Dismount, once nothing is mounted.
    // Refused with EBUSY while another holder (swap, a layer, an exclusive
    // opener) has it. Locking again while locked changes nothing.
    bool Lock(uint32_t& nError);
    // Unmounts every mount point of the volume, then completes the claim of
    // a lock taken while it was mounted (EBUSY when a mount in another
    // namespace or another holder keeps it).
    bool Dismount(uint32_t& nError);
    // Ends the lock (ENOLCK when none is held); the descriptor stays open.
    bool Unlock(uint32_t& nError);

private:
    enum class ELock { None, Pending, Held };
    bool Reopen(bool bExclusive, uint32_t& nError);
    void SetHeld(bool bHeld);

    int m_fd;
    ELock m_eLock = ELock::None;
    dev_t m_nClaimed = 0;  // the device whose claim this handle holds
};
