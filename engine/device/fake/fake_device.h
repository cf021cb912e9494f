#pragma once
// Fake devices for tests: a disk held in memory that can fail reads in a
// region, return unstable data in a region, end before its reported size,
// fail writes, refuse to open or to tell its size, go slowly, hang, and answer
// or fail the storage and volume requests (CFakeVolume). A
// provider maps paths to fake disks and hands every other path to the
// platform (so images can be real temporary files).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/device/device.h"
#include "engine/device/fake/fake_volume.h"

class CFakeDisk {
public:
    explicit CFakeDisk(std::vector<uint8_t> contents);
    // A disk of nSize bytes whose byte i is a fixed function of i.
    static std::shared_ptr<CFakeDisk> WithPattern(uint64_t nSize, uint32_t nSeed = 1);

    // Reads that touch [nFrom, nTo) fail with nError; with nTimes, only the
    // first nTimes of them fail.
    void FailReads(uint64_t nFrom, uint64_t nTo, uint32_t nError, uint32_t nTimes = UINT32_MAX);
    // Reads that touch [nFrom, nTo) return different data on every read
    // (a counter is mixed into the bytes of that region); with nStableAfter
    // > 0 the data settle after that many reads of the region.
    void UnstableReads(uint64_t nFrom, uint64_t nTo, uint32_t nStableAfter = 0);
    // Reads at or past nEnd return 0 bytes, while the size stays reported.
    void EndEarlyAt(uint64_t nEnd);
    // Writes that touch [nFrom, nTo) fail with nError.
    void FailWrites(uint64_t nFrom, uint64_t nTo, uint32_t nError);
    // Writes that touch [nFrom, nTo) store only half of what they are given.
    void ShortWrites(uint64_t nFrom, uint64_t nTo);
    // Writes past nCapacity store what fits and then fail with nError, as a
    // full file system does.
    void FullAt(uint64_t nCapacity, uint32_t nError);
    // Writes past the end extend the contents, as a file does.
    void GrowOnWrite();
    void FailFlush(uint32_t nError);
    void FailOpen(uint32_t nError);
    void SetKind(EDeviceKind eKind);
    void SetStorage(const T_STORAGE& storage);
    // The length request fails; with bGeometryToo the geometry one as well.
    void FailLengthRequest(uint32_t nError, bool bGeometryToo);
    void SetReadDelayMs(uint32_t nMs);
    // Reads that touch [nFrom, nTo) wait, as on a drive that stopped
    // answering, until ReleaseHang; with bCancellable the provider's
    // CancelWaitingTransfers ends them too, failing with
    // SystemError::Cancelled (a platform that can cancel). A hung read
    // gives up by itself after HANG_LIMIT, so a broken test cannot wait
    // for ever.
    static constexpr std::chrono::seconds HANG_LIMIT{30};
    void HangReads(uint64_t nFrom, uint64_t nTo, bool bCancellable);
    void ReleaseHang();
    // How many reads wait in the hang now.
    uint32_t HungReads();
    void SetWriteDelayMs(uint32_t nMs);
    // Called after every write that stored bytes, with the disk's lock held
    // and its contents at hand: a test sees what each write stored, or
    // changes the disk between two writes as something outside the program
    // would. The hook must not call back into the disk.
    using TWriteHook = std::function<void(uint64_t nOffset, uint32_t nCount, std::vector<uint8_t>& contents)>;
    void SetWriteHook(TWriteHook fnHook);

    const std::vector<uint8_t>& Contents() const { return m_contents; }
    uint64_t ReportedSize() const { return m_contents.size(); }
    // How many reads started at this offset so far.
    uint32_t ReadsAt(uint64_t nOffset);
    uint32_t TotalReads();
    uint32_t OpenCount() const { return m_nOpen.load(); }
    uint32_t FlushCount() const { return m_nFlushes.load(); }
    uint32_t SetLengthCount() const { return m_nSetLengths.load(); }
    bool Removed() const { return m_bRemoved.load(); }
    uint32_t CloseCount() const { return m_nClosed.load(); }
    // The storage and volume requests: answers, faults, counts and state.
    CFakeVolume& Volume() { return m_volume; }

private:
    friend class CFakeDeviceHandle;
    friend class CFakeDeviceProvider;
    struct T_REGION {
        uint64_t nFrom = 0;
        uint64_t nTo = 0;
        uint32_t nError = 0;
        bool bSet = false;
    };
    static bool Touches(const T_REGION& region, uint64_t nOffset, uint64_t nLength);
    // Waits while a read of [nOffset, +nLength) hangs; false when it was cancelled.
    bool WaitOutHang(uint64_t nOffset, uint64_t nLength);
    size_t CancelHungReads();

    std::mutex m_mutex;
    std::vector<uint8_t> m_contents;
    T_REGION m_failRead, m_unstable, m_failWrite, m_shortWrite;
    uint32_t m_nFailReadsLeft = 0;
    uint32_t m_nStableAfter = 0;
    uint32_t m_nUnstableReads = 0;
    uint64_t m_nEnd = UINT64_MAX;
    uint32_t m_nOpenError = 0;
    uint64_t m_nCapacity = UINT64_MAX;
    uint32_t m_nFullError = 0;
    bool m_bGrows = false;
    uint32_t m_nFlushError = 0;
    EDeviceKind m_eKind = EDeviceKind::BlockDevice;
    T_STORAGE m_storage;
    uint32_t m_nLengthError = 0;
    bool m_bGeometryFails = false;
    uint32_t m_nReadDelayMs = 0;
    T_REGION m_hang;
    bool m_bHangCancellable = false;
    uint32_t m_nHung = 0;
    uint32_t m_nCancels = 0;  // CancelWaitingTransfers calls that ended hung reads
    std::condition_variable m_cvHang;
    uint32_t m_nWriteDelayMs = 0;
    TWriteHook m_fnWriteHook;
    std::map<uint64_t, uint32_t> m_readsAt;
    uint32_t m_nTotalReads = 0;
    std::atomic<uint32_t> m_nOpen{0};
    std::atomic<uint32_t> m_nClosed{0};
    std::atomic<uint32_t> m_nFlushes{0};
    std::atomic<uint32_t> m_nSetLengths{0};
    std::atomic<bool> m_bRemoved{false};
    CFakeVolume m_volume;
};

class CFakeDeviceProvider : public IDeviceProvider {
public:
    void Add(const std::string& strPath, std::shared_ptr<CFakeDisk> pDisk);
    std::unique_ptr<IDevice> Open(const std::string& strPath, EOpenMode eMode, uint32_t& nError) override;
    bool RemoveFile(const std::string& strPath, uint32_t& nError) override;
    // Ends the hung reads of the disks whose hang can be cancelled; how
    // long they waited does not matter.
    size_t CancelWaitingTransfers(uint32_t nWaitedMs) override;

private:
    std::map<std::string, std::shared_ptr<CFakeDisk>> m_disks;
};
