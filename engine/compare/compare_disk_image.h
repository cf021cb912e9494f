#pragma once
// Compares up to four drives with one image file (raw or compressed), byte
// for byte, and reports where they differ. The image is read once: each of
// its blocks is shared by reference with every drive's comparer. Per drive
// a reader fills that drive's disk queue and a comparer takes one block
// from each of its two queues, so the slots advance together.
//
// A drive whose data differ but that was compared to the end makes the run
// false without a failure message; a drive that could not be compared to
// the end (read errors, lengths that differ, too many differences, a stop)
// is reported to the window at once with the failure message and its row.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

#include "engine/core/fixed_buffer.h"
#include "engine/core/notify.h"
#include "engine/core/queue.h"
#include "engine/device/device.h"
#include "engine/zlib/image_file_reader.h"

class CCompareDiskImage {
public:
    static constexpr size_t MAX_DRIVES = 4;

    CCompareDiskImage();
    virtual ~CCompareDiskImage();
    CCompareDiskImage(const CCompareDiskImage&) = delete;
    CCompareDiskImage& operator=(const CCompareDiskImage&) = delete;

    // Compares the drives at arrPaths (1 to 4 of them; more or none: false
    // with nothing logged) with strImage, using nBlocks pool blocks (at
    // least 16). True only when the image delivered the whole length and
    // every drive was opened, read and compared over the whole length
    // without a difference. The causes of a false are in the log.
    bool Run(std::span<const std::string> arrPaths, const std::string& strImage, uint32_t nBlocks);
    // Stops a run from another thread, also one that has not started yet:
    // every slot counts as failed and the run returns false promptly.
    void Abort();

    // The image-file reader.
    struct T_FILEREAD_INFO {
        std::thread hThread;
        std::thread::id idThread;
        uint32_t dwError = 0;
        bool bSuccess = false;
        uint32_t dwStartTick = 0;  // written and read by the reader's own thread
        std::atomic<uint64_t> nRemain{0};
        std::atomic<double> dSpeed{0.0};
        // What the image holds past the comparison length; read by the
        // comparers once bDone is set.
        T_IMAGE_TAIL tail;
        std::atomic<bool> bDone{false};
    };

    // The drive reader of one slot, with the drive's handle.
    struct T_DISKREAD_INFO {
        virtual ~T_DISKREAD_INFO() = default;
        bool bActive = false;
        std::unique_ptr<IDevice> hDisk;
        uint64_t nDiskSize = 0;
        std::thread hThread;
        std::thread::id idThread;
        uint32_t dwError = 0;
        bool bSuccess = false;
        uint32_t dwStartTick = 0;  // written and read by the reader's own thread
        std::atomic<uint64_t> nRemain{0};
        std::atomic<double> dSpeed{0.0};
        std::atomic<bool> bFailed{false};
        std::atomic<bool> bDone{false};
    };

    // The comparer of one slot and the two queues that feed it. nResult is
    // 1 when the comparison covered the whole length and found nothing.
    struct T_COMPTASK_INFO {
        T_COMPTASK_INFO();
        virtual ~T_COMPTASK_INFO();
        T_COMPTASK_INFO(const T_COMPTASK_INFO&) = delete;
        T_COMPTASK_INFO& operator=(const T_COMPTASK_INFO&) = delete;

        bool bActive = false;
        std::unique_ptr<CQueue> m_pDiskQueue;  // from the slot's drive reader
        std::unique_ptr<CQueue> m_pFileQueue;  // from the image-file reader
        std::thread hThread;
        std::thread::id idThread;
        uint32_t dwError = 0;
        uint32_t nResult = 0;
        std::atomic<uint64_t> nRemain{0};
        std::atomic<bool> bFailed{false};
        std::atomic<bool> bDone{false};
    };

    std::unique_ptr<CFixedBuffer> m_pBuffer;
    CImageFileReader m_imageFile;  // the image's handle and, for a compressed image, its stream
    T_FILEREAD_INFO m_fileRead;
    T_DISKREAD_INFO m_diskRead[MAX_DRIVES];
    T_COMPTASK_INFO m_compTask[MAX_DRIVES];
    uint64_t m_nBlockSize = 0x100000;
    uint64_t m_nTotal = 0;  // the comparison length
    std::atomic<uint64_t> m_nRemainMax{0};
    std::string m_strName[MAX_DRIVES];  // display names; an empty one becomes the path
    int m_nRow[MAX_DRIVES] = {0, 1, 2, 3};
    uint32_t m_dwStartTick = 0;
    // This run is the second half of a job (the verify pass after a read or
    // a write); it changes the whole-job progress figures only.
    bool m_bVerifyFollows = false;
    std::atomic<bool> m_bAbort{false};
    std::atomic<bool> m_bAllDiskReadDone{false};
    std::atomic<bool> m_bFileReadDone{false};
    std::atomic<bool> m_bAllCompareDone{false};
    // A slot stops at this many differing 512-byte sectors.
    uint32_t m_nMismatchLimit = 100;
    INotifyTarget* m_hNotifyWnd = nullptr;
    uint32_t m_uProgressMsg = DEFAULT_PROGRESS_MSG;
    uint32_t m_uErrorMsg = DEFAULT_ERROR_MSG;
    uint32_t m_dwInterval = 1000;

    // Where drives and the image are opened.
    IDeviceProvider* m_pDevices = &GetPlatformDevices();

private:
    void LogHeader(std::span<const std::string> arrPaths, const std::string& strImage);
    bool BuildPipeline(size_t nDrives, uint32_t nBlocks);
    void DeletePipeline();
    bool OpenDrives(std::span<const std::string> arrPaths);
    bool OpenDrive(size_t i, const std::string& strPath);
    bool MeasureDrives(uint64_t nFileSize);
    void LeaveOut(size_t i);
    void CloseHandles();
    bool ComputeResult(size_t nDrives) const;

    void StartWorkers();
    bool StartThread(std::thread& hThread, std::thread::id& idThread, std::function<void()> fnBody);
    void PollUntilDone();
    bool UpdateDoneFlags();
    bool EverySlotFailed() const;
    void StopWorkers();
    void SetAbort();
    void WakePoll();
    void FinishStage(std::atomic<bool>& bDone);

    void UpdateRemainMax();
    void PostProgress();

    void FileReaderThread();
    bool ReadImageTail();
    bool HandToComparers(uint8_t* pBlock, uint32_t nGot, bool (&bTaking)[MAX_DRIVES]);
    void DiskReaderThread(size_t i);
    void ComparerThread(size_t i);
    bool TakePair(T_COMPTASK_INFO& task, uint8_t*& pDisk, uint64_t& a, uint8_t*& pFile, uint64_t& b);
    bool CheckImageTail(size_t i);
    bool CompareSectors(size_t i, const uint8_t* pDisk, const uint8_t* pFile, uint64_t nLength, uint64_t nPos,
                        uint32_t& m);
    void CloseQueues(T_COMPTASK_INFO& task);

    size_t m_nDrives = 0;   // slots requested by this run
    int m_nAgreement = 0;   // reads that must agree in the unstable-media mode
    bool m_bCompressed = false;
    bool m_bCommonLength = false;  // compressed image with force-verify: compare what both sides have
    bool m_bForceVerify = false;   // an image longer than the drives is compared over their length
    std::atomic<bool> m_bAbortRequested{false};  // by Abort(); survives the run's own reset

    std::mutex m_mutexParts;  // guards the pool and queue pointers against Abort
    std::mutex m_mutexPoll;
    std::condition_variable m_cvPoll;  // wakes the poll loop when a stage ends
};
