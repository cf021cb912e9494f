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
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "engine/core/fixed_buffer.h"
#include "engine/core/queue.h"
#include "engine/device/device.h"
#include "engine/run/engine_run.h"
#include "engine/zlib/image_file_reader.h"

class CCompareDiskImage {
public:
    static constexpr size_t MAX_DRIVES = 4;

    CCompareDiskImage() = default;
    ~CCompareDiskImage();
    CCompareDiskImage(const CCompareDiskImage&) = delete;
    CCompareDiskImage& operator=(const CCompareDiskImage&) = delete;

    // Compares the job's drives (1 to 4; more or none: not Ok, nothing
    // logged) with job.strImage, using the job's pool blocks (at least 16).
    // The options it follows: shared read, unstable media, compressed image
    // and force-verify; job.nMismatchLimit and job.bVerifyPass (progress
    // only). bOk only when the image delivered the whole length and every
    // drive was opened, read and compared over the whole length without a
    // difference. A slot is Ok when its drive was compared to the end and
    // found equal, Differs when its data or length differ from the image's;
    // its nBytes are the bytes compared. nTotal is the length compared,
    // dwError the image's error. The causes of a failure are in the log.
    T_ENGINE_RESULT Run(const T_ENGINE_JOB& job);
    // Stops a run from another thread, also one that has not started yet:
    // every slot counts as failed and the run returns promptly.
    void Abort() { m_run.Abort(); }

private:
    static constexpr uint64_t BLOCK_SIZE = 0x100000;

    // One drive: its reader and its comparer, and the two queues that feed
    // the comparer. Each thread owns the fields it writes; the others only
    // read the counters and flags.
    struct T_SLOT {
        std::string strPath;
        std::string strName;  // the display name, the path when the job gave none
        int nRow = 0;
        bool bActive = false;  // opened, a disk, and measured
        std::unique_ptr<IDevice> hDisk;
        uint64_t nDiskSize = 0;
        CQueue* pDiskQueue = nullptr;  // from the drive reader; the run owns it
        CQueue* pFileQueue = nullptr;  // from the image-file reader; the run owns it
        std::atomic<T_RUN_STAGE*> pComparer{nullptr};  // set by the starting thread while the image-file reader runs
        // The drive reader's side.
        uint32_t dwError = 0;
        bool bReadOk = false;  // the reader delivered the whole length
        uint32_t dwStartTick = 0;
        std::atomic<uint64_t> nReadRemain{0};
        std::atomic<double> dSpeed{0.0};
        std::atomic<bool> bReadFailed{false};  // it gave up (or never started)
        // The comparer's side.
        ESlotVerdict eVerdict = ESlotVerdict::NotRun;
        uint64_t nChecked = 0;
        std::atomic<uint64_t> nRemain{0};
        std::atomic<bool> bFailed{false};
    };

    // Run's steps (compare_disk_image.cpp).
    void MakeSlots();
    void LogHeader();
    bool BuildPipeline();
    bool OpenDrives();
    bool OpenDrive(T_SLOT& s);
    bool MeasureDrives(uint64_t nFileSize);
    void LeaveOut(T_SLOT& s);
    void StartWorkers();
    void PollProgress(bool bFinal);
    bool EverySlotFailed() const;
    void UpdateRemainMax();
    void PostProgress();
    T_ENGINE_RESULT Results() const;
    void CloseAndDelete();

    // The threads (compare_workers.cpp).
    void FileReaderThread();
    bool ReadImageTail();
    bool HandToComparers(uint8_t* pBlock, uint32_t nGot);
    void DiskReaderThread(T_SLOT& s);
    void ComparerThread(T_SLOT& s);
    bool TakePair(T_SLOT& s, uint8_t*& pDisk, uint64_t& a, uint8_t*& pFile, uint64_t& b);
    bool CheckImageTail(T_SLOT& s);
    bool CompareSectors(T_SLOT& s, const uint8_t* pDisk, const uint8_t* pFile, uint64_t nLength, uint64_t nPos,
                        uint32_t& m);
    void CloseQueues(T_SLOT& s);

    CEngineRun m_run;
    T_ENGINE_JOB m_job;          // the job as Run received it
    std::deque<T_SLOT> m_slots;  // one per drive of the job, in its order
    CFixedBuffer* m_pBuffer = nullptr;  // the run's pool
    CImageFileReader m_imageFile;  // the image's handle and, for a compressed image, its stream
    uint64_t m_nTotal = 0;         // the comparison length
    int m_nAgreement = 0;          // reads that must agree in the unstable-media mode
    bool m_bCommonLength = false;  // compressed image with force-verify: compare what both sides have
    uint64_t m_nRemainMax = 0;     // the poll's figure of the whole job

    // The image-file reader.
    T_RUN_STAGE* m_pFileReader = nullptr;
    uint32_t m_dwFileError = 0;
    bool m_bFileReadOk = false;  // it delivered the whole length and read the image to its end
    uint32_t m_dwFileStartTick = 0;
    std::atomic<uint64_t> m_nFileRemain{0};
    std::atomic<double> m_dFileSpeed{0.0};
    // What the image holds past the comparison length; read by the
    // comparers once the file reader has ended.
    T_IMAGE_TAIL m_tail;
};
