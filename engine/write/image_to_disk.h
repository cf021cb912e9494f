#pragma once
// Writes one image file (raw, or a compressed .gmz) to one to four target
// drives at the same time. One reader thread reads the image once, in 1 MiB
// pool blocks, and hands every block by reference to one writer thread per
// target; each writer writes it at the same offset of its own drive, 11
// tries per block. A target that fails is dropped alone: the others go on
// to the end, and the run's result is false. On request a writer first
// compares the drive's data and skips units that are already equal, and
// after the write reads its range back for an MD5 digest that must equal
// the image's.
//
// Nothing is written before everything that can be checked has been: every
// target opened, of the right kind and measured, the image opened and
// measured, no target holding the image or given twice, the sizes agreed
// and the pool built.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/core/fixed_buffer.h"
#include "engine/core/md5.h"
#include "engine/core/notify.h"
#include "engine/core/queue.h"
#include "engine/device/device.h"
#include "engine/zlib/image_file_reader.h"

class CImageToDisk {
public:
    static constexpr int MAX_TARGETS = 4;

    // One target slot. Its writer thread owns the write-side fields; the
    // monitor only reads the counters and flags.
    struct T_DISKTASK_INFO {
        T_DISKTASK_INFO() = default;
        virtual ~T_DISKTASK_INFO() = default;
        T_DISKTASK_INFO(const T_DISKTASK_INFO&) = delete;
        T_DISKTASK_INFO& operator=(const T_DISKTASK_INFO&) = delete;

        bool bActive = false;            // opened, of the right kind and measured: it gets a writer
        std::unique_ptr<CQueue> pQueue;  // blocks from the reader to this slot's writer
        std::unique_ptr<IDevice> hDisk;
        std::thread hThread;
        std::thread::id dwThreadId;
        uint32_t dwError = 0;    // last system error code of this target
        bool bResult = false;    // the whole length was written and flushed
        bool bMd5Match = false;  // the read-back digest equals the image's
        std::atomic<uint64_t> nRemain{0};     // bytes still to write (or skip)
        std::atomic<uint64_t> nMd5Remain{0};  // bytes still to read back
        std::atomic<double> dSpeed{0.0};
        // No more blocks go to this slot. Set only by its own writer once it
        // takes nothing more, or when its queue is aborted: whoever sees it
        // may then empty the queue without taking a block from a live writer.
        std::atomic<bool> bStopped{false};
        std::atomic<bool> bFinished{false};  // the writer thread has ended
        std::atomic<bool> bMd5Phase{false};  // the writer reads its range back
        // The writer's own block, for comparing and reading back; taken from
        // the pool before the reader starts, so the reader can never starve it.
        uint8_t* pOwnBlock = nullptr;
        std::string strPath;  // the device path the slot was opened with
    };

    CImageToDisk();
    virtual ~CImageToDisk();
    CImageToDisk(const CImageToDisk&) = delete;
    CImageToDisk& operator=(const CImageToDisk&) = delete;

    // Writes strImage to the nCount (1..4) targets of arrPaths with nBlocks
    // pool blocks (at least 16). Returns when every thread it started has
    // ended. True only when the reader delivered the whole length and every
    // target that became active was written and flushed in full. More than
    // four targets (or none): false, nothing logged.
    bool Run(int nCount, const std::string* arrPaths, const std::string& strImage, uint32_t nBlocks);
    // Stops a run from another thread (also one that has not started yet);
    // Run then returns false promptly with every handle closed.
    void Abort();

    std::unique_ptr<CFixedBuffer> m_pBuffer;
    CImageFileReader m_image;  // the image file and its inflate stream, used by the reader alone
    std::thread m_hReaderThread;
    std::thread::id m_dwReaderThreadId;
    uint32_t m_dwReaderError = 0;
    bool m_bReaderResult = false;  // the reader delivered the whole length without failure
    std::atomic<uint64_t> m_nReaderRemain{0};
    T_DISKTASK_INFO m_Task[MAX_TARGETS];
    // The digest of the data the reader handed out; valid only when the
    // reader delivered the whole length.
    bool m_bImageMd5Valid = false;
    T_MD5_DIGEST m_ImageMd5{};
    uint64_t m_nBlockSize = 0x100000;
    uint64_t m_nTotal = 0;  // bytes written to every target, fixed before the threads start
    uint64_t m_nRemainMax = 0;     // largest nRemain of the live targets (monitor only)
    uint64_t m_nMd5RemainMax = 0;  // largest nMd5Remain of the live targets (monitor only)
    std::string m_strName[MAX_TARGETS];  // display names; an empty one becomes the device path
    int m_nRow[MAX_TARGETS] = {0, 1, 2, 3};
    uint32_t m_dwStartTick = 0;
    std::atomic<double> m_dReaderSpeed{0.0};
    bool m_bVerifyFollows = false;  // a verify pass follows: the write is the first half of the job
    std::atomic<bool> m_bAbort{false};
    std::atomic<bool> m_bReaderDone{false};
    std::atomic<bool> m_bWritersDone{false};
    INotifyTarget* m_hNotifyWnd = nullptr;
    uint32_t m_uProgressMsg = DEFAULT_PROGRESS_MSG;
    uint32_t m_uErrorMsg = DEFAULT_ERROR_MSG;
    uint32_t m_dwInterval = 1000;

    // Where targets and the image are opened.
    IDeviceProvider* m_pDevices = &GetPlatformDevices();

private:
    // Style of the size lines when the force-write option lets the job go on.
    static constexpr uint16_t LOG_STYLE_FORCED = 3;

    // The job options, taken once at the start of a run.
    struct T_OPTIONS {
        bool bCompressed = false;
        bool bForce = false;
        bool bWriteDifferences = false;
        bool bMd5Check = false;
        bool bShared = false;
    };

    // Run's steps (image_to_disk.cpp).
    void TakeOptions();
    void LogHeadLine(int nCount, const std::string& strImage);
    bool BuildPipeline(uint32_t nBlocks);
    void TakeOwnBlocks();
    void StartWorkers();
    bool StartThread(std::thread& hThread, std::thread::id& id, uint32_t& dwError, int nSlot);
    void PollUntilDone();
    void StopWorkers();
    bool RunResult() const;
    void CloseAndDelete();
    void SetAbort();
    void StageEnded(std::atomic<bool>& bDone);
    bool WaitForReader();

    // Opening, refusing and measuring (image_to_disk_open.cpp).
    bool Prepare(int nCount, const std::string* arrPaths, const std::string& strImage);
    bool RefuseRepeatedPaths(int nCount, const std::string* arrPaths);
    void OpenTarget(int nSlot, const std::string& strPath);
    bool OpenImage(const std::string& strImage);
    bool RefuseConflicts(const std::string& strImage);
    bool DecideLength(uint64_t nFileSize);
    bool MeasureTarget(int nSlot, uint64_t nFileSize, uint64_t& nSize);
    bool AnyActive() const;

    // The reader (image_to_disk_reader.cpp).
    void ImageReaderThread();
    bool HandOut(uint8_t* pBlock, uint32_t nGot);
    void EmptyStoppedQueues();
    void EmptyQueue(T_DISKTASK_INFO& t);
    void ReportEarlyEnd(uint64_t nPos);
    bool CheckImageEnd();
    void FinishImageDigest(CMd5& md5);

    // The writers (image_to_disk_writer.cpp, image_to_disk_read_back.cpp).
    void DiskWriterThread(int nSlot);
    bool WritePhase(int nSlot, uint64_t& nPos, uint64_t& nSkipped);
    bool SameOnDisk(T_DISKTASK_INFO& t, const uint8_t* pData, uint64_t nPos, uint32_t nCount);
    bool WriteBlock(int nSlot, const uint8_t* pData, uint64_t nPos, uint32_t nCount);
    bool FlushTarget(int nSlot);
    void TargetFailed(int nSlot);
    void StopTaking(T_DISKTASK_INFO& t);
    void ReadBack(int nSlot, uint64_t nLength);
    bool ReadBackDigest(int nSlot, uint64_t nLength, T_MD5_DIGEST& digest);

    // Progress (image_to_disk_progress.cpp).
    void UpdateRemainMax(bool bFinal);
    void PostProgress();

    T_OPTIONS m_opt;
    bool m_bOneSize = false;  // every target is of one size
    T_STORAGE m_imageStorage;  // where the opened image's data live
    std::atomic<bool> m_bAbortRequested{false};  // by Abort(); survives the run's own reset
    std::mutex m_mutexParts;  // guards the pool and queue pointers against Abort
    std::mutex m_mutexState;
    std::condition_variable m_cvState;  // a thread ended, or the run stops
};
