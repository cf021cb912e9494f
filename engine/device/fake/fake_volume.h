#pragma once
// The storage and volume side of a fake disk: the answers of the device
// number, disk extents and storage property requests; the volume lock, the
// mount and the medium; a count of every request; and faults on demand, so
// that callers' handling of each failing request can be tested.
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/device/device.h"

enum class EFakeRequest {
    DeviceNumber,
    DiskExtents,
    StorageProperty,
    Lock,
    Dismount,
    Unlock,
    AllowRemoval,
    Eject,
    Load,
};

class CFakeVolume {
public:
    // The next nTimes requests of this kind fail with nError (all of them
    // by default); later ones are answered again.
    void FailRequest(EFakeRequest eRequest, uint32_t nError, uint32_t nTimes = UINT32_MAX);
    // The answers; a request whose answer was never set fails with
    // SystemError::NotSupported, as a device without it does.
    void SetDeviceNumber(const T_DEVICE_NUMBER& number);
    void SetDiskExtents(const std::vector<T_DISK_EXTENT>& arrExtents);
    void SetStorageDescriptor(const T_STORAGE_DESCRIPTOR& descriptor);

    // How many requests of this kind were made, answered or not.
    uint32_t RequestCount(EFakeRequest eRequest);
    // A handle holds the lock (until it unlocks or is dropped). Another
    // handle's lock is then refused with SystemError::IoError, and an unlock
    // by a handle that holds none fails with SystemError::NotSupported.
    bool Locked();
    // Mounted until dismounted; a new fake disk is mounted.
    bool Mounted();
    // Present until ejected, again after a load. Without a medium the disk's
    // length and read requests fail with SystemError::NotReady.
    bool MediaPresent();
    // Removal allowed since the last AllowRemoval (the fake never prevents it again).
    bool RemovalAllowed();

    // The requests of a handle; pOwner tells the handles apart.
    bool DeviceNumber(T_DEVICE_NUMBER& number, uint32_t& nError);
    bool DiskExtents(std::vector<T_DISK_EXTENT>& arrExtents, uint32_t& nError);
    bool StorageProperty(T_STORAGE_DESCRIPTOR& descriptor, uint32_t& nError);
    bool Lock(const void* pOwner, uint32_t& nError);
    bool Dismount(uint32_t& nError);
    bool Unlock(const void* pOwner, uint32_t& nError);
    bool AllowRemoval(uint32_t& nError);
    bool Eject(uint32_t& nError);
    bool Load(uint32_t& nError);
    // A handle is dropped: its lock ends.
    void Closed(const void* pOwner);

private:
    static constexpr size_t REQUEST_KINDS = static_cast<size_t>(EFakeRequest::Load) + 1;
    struct T_FAULT {
        uint32_t nError = 0;
        uint32_t nTimesLeft = 0;
    };
    // Counts the request; false with the injected error when it is to fail.
    bool Begin(EFakeRequest eRequest, uint32_t& nError);

    std::mutex m_mutex;
    std::array<uint32_t, REQUEST_KINDS> m_arrCounts{};
    std::array<T_FAULT, REQUEST_KINDS> m_arrFaults{};
    std::optional<T_DEVICE_NUMBER> m_number;
    std::optional<std::vector<T_DISK_EXTENT>> m_extents;
    std::optional<T_STORAGE_DESCRIPTOR> m_descriptor;
    const void* m_pLockOwner = nullptr;
    bool m_bMounted = true;
    bool m_bMediaPresent = true;
    bool m_bRemovalAllowed = false;
};
