#include "engine/device/fake/fake_volume.h"

#include "engine/core/system_error.h"

namespace {

size_t IndexOf(EFakeRequest eRequest)
{
    return static_cast<size_t>(eRequest);
}

template <class T>
bool Answer(const std::optional<T>& answer, T& out, uint32_t& nError)
{
    if (!answer) {
        nError = SystemError::NotSupported();
        return false;
    }
    out = *answer;
    return true;
}

}  // namespace

void CFakeVolume::FailRequest(EFakeRequest eRequest, uint32_t nError, uint32_t nTimes)
{
    std::lock_guard lock(m_mutex);
    m_arrFaults[IndexOf(eRequest)] = T_FAULT{nError, nTimes};
}

void CFakeVolume::SetDeviceNumber(const T_DEVICE_NUMBER& number)
{
    std::lock_guard lock(m_mutex);
    m_number = number;
}

void CFakeVolume::SetDiskExtents(const std::vector<T_DISK_EXTENT>& arrExtents)
{
    std::lock_guard lock(m_mutex);
    m_extents = arrExtents;
}

void CFakeVolume::SetStorageDescriptor(const T_STORAGE_DESCRIPTOR& descriptor)
{
    std::lock_guard lock(m_mutex);
    m_descriptor = descriptor;
}

uint32_t CFakeVolume::RequestCount(EFakeRequest eRequest)
{
    std::lock_guard lock(m_mutex);
    return m_arrCounts[IndexOf(eRequest)];
}

bool CFakeVolume::Locked()
{
    std::lock_guard lock(m_mutex);
    return m_pLockOwner != nullptr;
}

bool CFakeVolume::Mounted()
{
    std::lock_guard lock(m_mutex);
    return m_bMounted;
}

bool CFakeVolume::MediaPresent()
{
    std::lock_guard lock(m_mutex);
    return m_bMediaPresent;
}

bool CFakeVolume::RemovalAllowed()
{
    std::lock_guard lock(m_mutex);
    return m_bRemovalAllowed;
}

// Called with the mutex held.
bool CFakeVolume::Begin(EFakeRequest eRequest, uint32_t& nError)
{
    ++m_arrCounts[IndexOf(eRequest)];
    T_FAULT& fault = m_arrFaults[IndexOf(eRequest)];
    if (fault.nTimesLeft == 0) return true;
    --fault.nTimesLeft;
    nError = fault.nError;
    return false;
}

bool CFakeVolume::DeviceNumber(T_DEVICE_NUMBER& number, uint32_t& nError)
{
    std::lock_guard lock(m_mutex);
    return Begin(EFakeRequest::DeviceNumber, nError) && Answer(m_number, number, nError);
}

bool CFakeVolume::DiskExtents(std::vector<T_DISK_EXTENT>& arrExtents, uint32_t& nError)
{
    std::lock_guard lock(m_mutex);
    return Begin(EFakeRequest::DiskExtents, nError) && Answer(m_extents, arrExtents, nError);
}

bool CFakeVolume::StorageProperty(T_STORAGE_DESCRIPTOR& descriptor, uint32_t& nError)
{
    std::lock_guard lock(m_mutex);
    return Begin(EFakeRequest::StorageProperty, nError) && Answer(m_descriptor, descriptor, nError);
}

bool CFakeVolume::Lock(const void* pOwner, uint32_t& nError)
{
    std::lock_guard lock(m_mutex);
    if (!Begin(EFakeRequest::Lock, nError)) return false;
    if (m_pLockOwner && m_pLockOwner != pOwner) {
        nError = SystemError::IoError();  // another handle holds it
        return false;
    }
    m_pLockOwner = pOwner;
    return true;
}

bool CFakeVolume::Dismount(uint32_t& nError)
{
    std::lock_guard lock(m_mutex);
    if (!Begin(EFakeRequest::Dismount, nError)) return false;
    m_bMounted = false;
    return true;
}

bool CFakeVolume::Unlock(const void* pOwner, uint32_t& nError)
{
    std::lock_guard lock(m_mutex);
    if (!Begin(EFakeRequest::Unlock, nError)) return false;
    if (m_pLockOwner != pOwner) {
        nError = SystemError::NotSupported();  // this handle holds no lock
        return false;
    }
    m_pLockOwner = nullptr;
    return true;
}

bool CFakeVolume::AllowRemoval(uint32_t& nError)
{
    std::lock_guard lock(m_mutex);
    if (!Begin(EFakeRequest::AllowRemoval, nError)) return false;
    m_bRemovalAllowed = true;
    return true;
}

bool CFakeVolume::Eject(uint32_t& nError)
{
    std::lock_guard lock(m_mutex);
    if (!Begin(EFakeRequest::Eject, nError)) return false;
    m_bMediaPresent = false;
    return true;
}

bool CFakeVolume::Load(uint32_t& nError)
{
    std::lock_guard lock(m_mutex);
    if (!Begin(EFakeRequest::Load, nError)) return false;
    m_bMediaPresent = true;
    return true;
}

void CFakeVolume::Closed(const void* pOwner)
{
    std::lock_guard lock(m_mutex);
    if (m_pLockOwner == pOwner) m_pLockOwner = nullptr;
}
