#include "engine/device/fake/fake_device.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "engine/core/system_error.h"

CFakeDisk::CFakeDisk(std::vector<uint8_t> contents) : m_contents(std::move(contents))
{
    // Every fake disk is a device of its own, stored on nothing else.
    m_storage.self.arrDevices.push_back(reinterpret_cast<uintptr_t>(this));
}

std::shared_ptr<CFakeDisk> CFakeDisk::WithPattern(uint64_t nSize, uint32_t nSeed)
{
    std::vector<uint8_t> data(static_cast<size_t>(nSize));
    uint32_t x = nSeed * 2654435761u + 12345u;
    for (auto& b : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return std::make_shared<CFakeDisk>(std::move(data));
}

void CFakeDisk::FailReads(uint64_t nFrom, uint64_t nTo, uint32_t nError, uint32_t nTimes)
{
    std::lock_guard lock(m_mutex);
    m_failRead = T_REGION{nFrom, nTo, nError, true};
    m_nFailReadsLeft = nTimes;
}

void CFakeDisk::UnstableReads(uint64_t nFrom, uint64_t nTo, uint32_t nStableAfter)
{
    std::lock_guard lock(m_mutex);
    m_unstable = T_REGION{nFrom, nTo, 0, true};
    m_nStableAfter = nStableAfter;
}

void CFakeDisk::EndEarlyAt(uint64_t nEnd)
{
    std::lock_guard lock(m_mutex);
    m_nEnd = nEnd;
}

void CFakeDisk::FailWrites(uint64_t nFrom, uint64_t nTo, uint32_t nError)
{
    std::lock_guard lock(m_mutex);
    m_failWrite = T_REGION{nFrom, nTo, nError, true};
}

void CFakeDisk::ShortWrites(uint64_t nFrom, uint64_t nTo)
{
    std::lock_guard lock(m_mutex);
    m_shortWrite = T_REGION{nFrom, nTo, 0, true};
}

void CFakeDisk::FullAt(uint64_t nCapacity, uint32_t nError)
{
    std::lock_guard lock(m_mutex);
    m_nCapacity = nCapacity;
    m_nFullError = nError;
}

void CFakeDisk::GrowOnWrite()
{
    std::lock_guard lock(m_mutex);
    m_bGrows = true;
}

void CFakeDisk::FailFlush(uint32_t nError)
{
    std::lock_guard lock(m_mutex);
    m_nFlushError = nError;
}

void CFakeDisk::SetKind(EDeviceKind eKind)
{
    std::lock_guard lock(m_mutex);
    m_eKind = eKind;
}

void CFakeDisk::SetStorage(const T_STORAGE& storage)
{
    std::lock_guard lock(m_mutex);
    m_storage = storage;
}

void CFakeDisk::FailOpen(uint32_t nError)
{
    std::lock_guard lock(m_mutex);
    m_nOpenError = nError;
}

void CFakeDisk::FailLengthRequest(uint32_t nError, bool bGeometryToo)
{
    std::lock_guard lock(m_mutex);
    m_nLengthError = nError;
    m_bGeometryFails = bGeometryToo;
}

void CFakeDisk::SetReadDelayMs(uint32_t nMs)
{
    std::lock_guard lock(m_mutex);
    m_nReadDelayMs = nMs;
}

void CFakeDisk::HangReads(uint64_t nFrom, uint64_t nTo, bool bCancellable)
{
    std::lock_guard lock(m_mutex);
    m_hang = T_REGION{nFrom, nTo, 0, true};
    m_bHangCancellable = bCancellable;
}

void CFakeDisk::ReleaseHang()
{
    std::lock_guard lock(m_mutex);
    m_hang.bSet = false;
    m_cvHang.notify_all();
}

uint32_t CFakeDisk::HungReads()
{
    std::lock_guard lock(m_mutex);
    return m_nHung;
}

bool CFakeDisk::WaitOutHang(uint64_t nOffset, uint64_t nLength)
{
    std::unique_lock lock(m_mutex);
    if (!Touches(m_hang, nOffset, nLength)) return true;
    const uint32_t nCancelsBefore = m_nCancels;
    ++m_nHung;
    m_cvHang.wait_for(lock, HANG_LIMIT, [&] { return !m_hang.bSet || m_nCancels != nCancelsBefore; });
    --m_nHung;
    return m_nCancels == nCancelsBefore;
}

size_t CFakeDisk::CancelHungReads()
{
    std::lock_guard lock(m_mutex);
    if (!m_bHangCancellable || m_nHung == 0) return 0;
    ++m_nCancels;
    m_cvHang.notify_all();
    return m_nHung;
}

void CFakeDisk::SetWriteDelayMs(uint32_t nMs)
{
    std::lock_guard lock(m_mutex);
    m_nWriteDelayMs = nMs;
}

void CFakeDisk::SetWriteHook(TWriteHook fnHook)
{
    std::lock_guard lock(m_mutex);
    m_fnWriteHook = std::move(fnHook);
}

uint32_t CFakeDisk::ReadsAt(uint64_t nOffset)
{
    std::lock_guard lock(m_mutex);
    auto it = m_readsAt.find(nOffset);
    return it == m_readsAt.end() ? 0 : it->second;
}

uint32_t CFakeDisk::TotalReads()
{
    std::lock_guard lock(m_mutex);
    return m_nTotalReads;
}

bool CFakeDisk::Touches(const T_REGION& region, uint64_t nOffset, uint64_t nLength)
{
    return region.bSet && nLength > 0 && nOffset < region.nTo && nOffset + nLength > region.nFrom;
}

// One open handle on a fake disk.
class CFakeDeviceHandle : public IDevice {
public:
    explicit CFakeDeviceHandle(std::shared_ptr<CFakeDisk> pDisk) : m_pDisk(std::move(pDisk)) { ++m_pDisk->m_nOpen; }
    ~CFakeDeviceHandle() override
    {
        m_pDisk->m_volume.Closed(this);
        ++m_pDisk->m_nClosed;
    }
    CFakeDeviceHandle(const CFakeDeviceHandle&) = delete;
    CFakeDeviceHandle& operator=(const CFakeDeviceHandle&) = delete;

    T_IO_RESULT ReadAt(uint64_t nOffset, void* pData, uint32_t nLength) override
    {
        if (!m_pDisk->WaitOutHang(nOffset, nLength)) return T_IO_RESULT{false, 0, SystemError::Cancelled()};
        uint32_t nDelay = 0;
        T_IO_RESULT result = ReadLocked(nOffset, pData, nLength, nDelay);
        if (nDelay) std::this_thread::sleep_for(std::chrono::milliseconds(nDelay));
        return result;
    }

    T_IO_RESULT WriteAt(uint64_t nOffset, const void* pData, uint32_t nLength) override
    {
        uint32_t nDelay = 0;
        {
            std::lock_guard lock(m_pDisk->m_mutex);
            nDelay = m_pDisk->m_nWriteDelayMs;
        }
        if (nDelay) std::this_thread::sleep_for(std::chrono::milliseconds(nDelay));
        return WriteLocked(nOffset, pData, nLength);
    }

    T_IO_RESULT WriteLocked(uint64_t nOffset, const void* pData, uint32_t nLength)
    {
        CFakeDisk& d = *m_pDisk;
        std::lock_guard lock(d.m_mutex);
        if (CFakeDisk::Touches(d.m_failWrite, nOffset, nLength)) return T_IO_RESULT{false, 0, d.m_failWrite.nError};
        if (nLength > 0 && nOffset >= d.m_nCapacity) return T_IO_RESULT{false, 0, d.m_nFullError};
        uint64_t nEnd = std::min<uint64_t>(nOffset + nLength, d.m_nCapacity);
        if (!d.m_bGrows) nEnd = std::min<uint64_t>(nEnd, d.m_contents.size());
        if (nOffset >= nEnd) return T_IO_RESULT{true, 0, 0};
        uint32_t n = static_cast<uint32_t>(nEnd - nOffset);
        if (CFakeDisk::Touches(d.m_shortWrite, nOffset, nLength)) n /= 2;
        if (nOffset + n > d.m_contents.size()) d.m_contents.resize(static_cast<size_t>(nOffset + n));
        std::memcpy(d.m_contents.data() + nOffset, pData, n);
        if (d.m_fnWriteHook && n > 0) d.m_fnWriteHook(nOffset, n, d.m_contents);
        return T_IO_RESULT{true, n, 0};
    }

    bool GetLengthInfo(uint64_t& nLength, uint32_t& nError) override
    {
        if (!m_pDisk->m_volume.MediaPresent()) return NoMedium(nError);
        std::lock_guard lock(m_pDisk->m_mutex);
        if (m_pDisk->m_nLengthError) {
            nError = m_pDisk->m_nLengthError;
            return false;
        }
        nLength = m_pDisk->m_contents.size();
        return true;
    }

    bool GetDriveGeometry(T_DISK_GEOMETRY& geometry, uint32_t& nError) override
    {
        if (!m_pDisk->m_volume.MediaPresent()) return NoMedium(nError);
        std::lock_guard lock(m_pDisk->m_mutex);
        if (m_pDisk->m_bGeometryFails) {
            nError = m_pDisk->m_nLengthError;
            return false;
        }
        geometry = T_DISK_GEOMETRY{static_cast<int64_t>(m_pDisk->m_contents.size() / 512), 0, 1, 1, 512};
        return true;
    }

    bool Flush(uint32_t& nError) override
    {
        ++m_pDisk->m_nFlushes;
        std::lock_guard lock(m_pDisk->m_mutex);
        nError = m_pDisk->m_nFlushError;
        return nError == 0;
    }

    bool SetLength(uint64_t nLength, uint32_t&) override
    {
        ++m_pDisk->m_nSetLengths;
        std::lock_guard lock(m_pDisk->m_mutex);
        m_pDisk->m_contents.resize(static_cast<size_t>(nLength));
        return true;
    }

    EDeviceKind GetKind() override
    {
        std::lock_guard lock(m_pDisk->m_mutex);
        return m_pDisk->m_eKind;
    }

    T_STORAGE GetStorage() override
    {
        std::lock_guard lock(m_pDisk->m_mutex);
        return m_pDisk->m_storage;
    }

    bool GetDeviceNumber(T_DEVICE_NUMBER& number, uint32_t& nError) override
    {
        return m_pDisk->m_volume.DeviceNumber(number, nError);
    }
    bool GetVolumeDiskExtents(std::vector<T_DISK_EXTENT>& arrExtents, uint32_t& nError) override
    {
        return m_pDisk->m_volume.DiskExtents(arrExtents, nError);
    }
    bool QueryStorageProperty(T_STORAGE_DESCRIPTOR& descriptor, uint32_t& nError) override
    {
        return m_pDisk->m_volume.StorageProperty(descriptor, nError);
    }
    bool LockVolume(uint32_t& nError) override { return m_pDisk->m_volume.Lock(this, nError); }
    bool DismountVolume(uint32_t& nError) override { return m_pDisk->m_volume.Dismount(nError); }
    bool UnlockVolume(uint32_t& nError) override { return m_pDisk->m_volume.Unlock(this, nError); }
    bool AllowMediaRemoval(uint32_t& nError) override { return m_pDisk->m_volume.AllowRemoval(nError); }
    bool EjectMedia(uint32_t& nError) override { return m_pDisk->m_volume.Eject(nError); }
    bool LoadMedia(uint32_t& nError) override { return m_pDisk->m_volume.Load(nError); }

private:
    static bool NoMedium(uint32_t& nError)
    {
        nError = SystemError::NotReady();
        return false;
    }

    T_IO_RESULT ReadLocked(uint64_t nOffset, void* pData, uint32_t nLength, uint32_t& nDelay)
    {
        CFakeDisk& d = *m_pDisk;
        std::lock_guard lock(d.m_mutex);
        nDelay = d.m_nReadDelayMs;
        ++d.m_readsAt[nOffset];
        ++d.m_nTotalReads;
        if (!d.m_volume.MediaPresent()) return T_IO_RESULT{false, 0, SystemError::NotReady()};
        if (CFakeDisk::Touches(d.m_failRead, nOffset, nLength) && d.m_nFailReadsLeft > 0) {
            --d.m_nFailReadsLeft;
            return T_IO_RESULT{false, 0, d.m_failRead.nError};
        }
        const uint64_t nLimit = std::min<uint64_t>(d.m_contents.size(), d.m_nEnd);
        if (nOffset >= nLimit) return T_IO_RESULT{true, 0, 0};
        const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(nLength, nLimit - nOffset));
        std::memcpy(pData, d.m_contents.data() + nOffset, n);
        if (CFakeDisk::Touches(d.m_unstable, nOffset, n)) MixUnstable(nOffset, static_cast<uint8_t*>(pData), n);
        return T_IO_RESULT{true, n, 0};
    }

    // Called with the disk's mutex held.
    void MixUnstable(uint64_t nOffset, uint8_t* pData, uint32_t n)
    {
        CFakeDisk& d = *m_pDisk;
        const uint32_t nRead = ++d.m_nUnstableReads;
        if (d.m_nStableAfter && nRead > d.m_nStableAfter) return;
        const uint64_t nFrom = std::max(nOffset, d.m_unstable.nFrom);
        const uint64_t nTo = std::min(nOffset + n, d.m_unstable.nTo);
        for (uint64_t i = nFrom; i < nTo; ++i) pData[i - nOffset] ^= static_cast<uint8_t>(nRead * 37 + 1);
    }

    std::shared_ptr<CFakeDisk> m_pDisk;
};

void CFakeDeviceProvider::Add(const std::string& strPath, std::shared_ptr<CFakeDisk> pDisk)
{
    m_disks[strPath] = std::move(pDisk);
}

std::unique_ptr<IDevice> CFakeDeviceProvider::Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError)
{
    auto it = m_disks.find(strPath);
    if (it == m_disks.end()) return GetPlatformDevices().Open(strPath, eMode, nError);
    {
        std::lock_guard lock(it->second->m_mutex);
        if (it->second->m_nOpenError) {
            nError = it->second->m_nOpenError;
            return nullptr;
        }
    }
    return std::make_unique<CFakeDeviceHandle>(it->second);
}

size_t CFakeDeviceProvider::CancelWaitingTransfers(uint32_t)
{
    size_t nCancelled = 0;
    for (auto& [strPath, pDisk] : m_disks) nCancelled += pDisk->CancelHungReads();
    return nCancelled;
}

bool CFakeDeviceProvider::RemoveFile(const std::string& strPath, uint32_t& nError)
{
    auto it = m_disks.find(strPath);
    if (it == m_disks.end()) return GetPlatformDevices().RemoveFile(strPath, nError);
    it->second->m_bRemoved = true;
    return true;
}
