#pragma once
// Writes one image file (raw, or a compressed .gmz) to one to four target
// drives at the same time. One reader thread reads the image once, in 1 MiB
// pool blocks, and hands every block by reference to one writer thread per
// target; each writer writes it at the same offset of its own drive, 11
// tries per block. A target that fails is dropped alone: the others go on
// to the end, and the run's result is false. On request a writer first
// compares the drive's data and skips units that are already equal, and
// after the write reads its range back for an MD5 digest that must equal
// the image's. When the job asks for them, the image's own digests are
// computed on the way: the file's from its bytes as they are read, a
// compressed image's data's on a digest stage that takes every block as a
// writer does.
//
// Nothing is written before everything that can be checked has been: every
// target opened, of the right kind and measured, the image opened and
// measured, no target holding the image or given twice, the sizes agreed
// and the pool built.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "engine/core/fixed_buffer.h"
#include "engine/core/md5.h"
#include "engine/core/queue.h"
#include "engine/device/device.h"
#include "engine/device/file_digest_devices.h"
#include "engine/run/engine_run.h"
#include "engine/zlib/image_file_reader.h"

class CImageToDisk {
public:
    static constexpr int MAX_TARGETS = 4;

    CImageToDisk() = default;
    ~CImageToDisk();
    CImageToDisk(const CImageToDisk&) = delete;
    CImageToDisk& operator=(const CImageToDisk&) = delete;

    // Writes job.strImage to the job's drives (1 to 4) with its pool blocks
    // (at least 16). The options it follows: compressed image, force-write,
    // compare-after-write (skip equal units), the MD5 check, shared write,
    // and verify (a compare follows: the write is the job's first half; the
    // MD5 check replaces it). Returns when every thread it started has
    // ended. bOk only when the reader delivered the whole length and every
    // target that could be opened and measured was written and flushed in
    // full. A slot is Ok when its drive holds the image's length; with the
    // MD5 check its digest is the read-back's and the run's the image's.
    // More than four drives (or none): not Ok, nothing logged.
    T_ENGINE_RESULT Run(const T_ENGINE_JOB& job);
    // Stops a run from another thread (also one that has not started yet);
    // Run then returns promptly with every handle closed.
    void Abort() { m_run.Abort(); }

private:
    static constexpr uint64_t BLOCK_SIZE = 0x100000;
    // Style of the size lines when the force-write option lets the job go on.
    static constexpr uint16_t LOG_STYLE_FORCED = 3;

    // One target. Its writer thread owns the write-side fields; the poll
    // only reads the counters and flags.
    struct T_SLOT {
        std::string strPath;
        std::string strName;  // the display name, the path when the job gave none
        int nRow = 0;
        bool bActive = false;  // opened, of the right kind and measured: it gets a writer
        CQueue* pQueue = nullptr;  // blocks from the reader to this slot's writer; the run owns it
        std::unique_ptr<IDevice> hDisk;
        T_RUN_STAGE* pStage = nullptr;  // the writer
        ESlotVerdict eVerdict = ESlotVerdict::NotRun;
        uint32_t dwError = 0;
        uint64_t nBytes = 0;   // written or found equal
        bool bWritten = false;  // the whole length was written and flushed
        bool bDigest = false;  // the read-back digest was computed
        T_MD5_DIGEST digest{};
        std::atomic<uint64_t> nRemain{0};     // bytes still to write (or skip)
        std::atomic<uint64_t> nMd5Remain{0};  // bytes still to read back
        std::atomic<double> dSpeed{0.0};
        // No more blocks go to this slot. Set only by its own writer once it
        // takes nothing more, or when the run stops: whoever sees it may
        // then empty the queue without taking a block from a live writer.
        std::atomic<bool> bStopped{false};
        // The writer's own block, for comparing and reading back; taken from
        // the pool before the reader starts, so the reader can never starve it.
        uint8_t* pOwnBlock = nullptr;
    };

    // Run's steps (image_to_disk.cpp).
    void MakeSlots();
    void LogHeadLine();
    bool BuildPipeline();
    void TakeOwnBlocks();
    void StartWorkers();
    T_ENGINE_RESULT Results() const;
    void CloseAndDelete();
    bool VerifyFollows() const { return m_job.options.bVerify && !m_job.options.bMD5Verify; }
    void UpdateRemainMax(bool bFinal);
    void PostProgress();

    // Opening, refusing and measuring (image_to_disk_open.cpp).
    bool Prepare();
    bool OpenImage();
    bool RefuseConflicts();
    bool DecideLength(uint64_t nFileSize);
    bool MeasureTarget(T_SLOT& t, uint64_t nFileSize, uint64_t& nSize);
    bool AnyActive() const;

    // The reader (image_to_disk_reader.cpp).
    void ImageReaderThread();
    bool HandOut(uint8_t* pBlock, uint32_t nGot);
    void EmptyStoppedQueues();
    void EmptyQueue(T_SLOT& t);
    void ReportEarlyEnd(uint64_t nPos);
    bool CheckImageEnd();
    void FinishImageDigest(CMd5& md5);

    // The image's own digests (image_to_disk_digests.cpp).
    void PrepareImageDigests();
    IDeviceProvider& ImageDevices();
    void StartDataDigest();
    void FeedDataDigest(uint8_t* pBlock, uint32_t nGot);
    void EndDataDigest(bool bWhole, uint64_t nZeroTail);
    void DataDigestStage();
    void FinishDataDigest(uint64_t nZeroTail);
    void ReadRestForFileDigest();
    void FinishFileDigest();

    // The writers (image_to_disk_writer.cpp).
    void DiskWriterThread(T_SLOT& t);
    ESlotVerdict WritePhase(T_SLOT& t, uint64_t& nPos, uint64_t& nSkipped);
    ESlotVerdict WriteBlock(T_SLOT& t, const uint8_t* pData, uint64_t nPos, uint32_t nCount);
    void TargetFailed(T_SLOT& t, ESlotVerdict eVerdict);
    void ReadBack(T_SLOT& t, uint64_t nLength);
    bool ReadBackDigest(T_SLOT& t, uint64_t nLength, T_MD5_DIGEST& digest);

    CEngineRun m_run;
    T_ENGINE_JOB m_job;           // the job as Run received it
    std::deque<T_SLOT> m_slots;   // one per drive of the job, in its order
    CFixedBuffer* m_pBuffer = nullptr;  // the run's pool
    CImageFileReader m_image;     // the image file and its inflate stream, used by the reader alone
    T_STORAGE m_imageStorage;     // where the opened image's data live
    T_RUN_STAGE* m_pReader = nullptr;
    uint32_t m_dwReaderError = 0;
    bool m_bReaderResult = false;  // the reader delivered the whole length without failure
    std::atomic<uint64_t> m_nReaderRemain{0};
    std::atomic<double> m_dReaderSpeed{0.0};
    // The digest of the data the reader handed out; valid only when the
    // reader delivered the whole length.
    bool m_bImageMd5Valid = false;
    T_MD5_DIGEST m_ImageMd5{};
    uint64_t m_nTotal = 0;  // bytes written to every target, fixed before the threads start
    bool m_bOneSize = false;  // every target is of one size
    // The image's own digests, when the job asks for them: the tap on the
    // image file, and the data's digest, on its stage fed through
    // m_pDigestQueue (or by the reader itself when no thread could be had).
    std::unique_ptr<CFileDigestDevices> m_pFileDigests;
    uint64_t m_nImageFileSize = 0;
    std::unique_ptr<CDigest> m_pDataDigest;  // a compressed image's only
    CQueue* m_pDigestQueue = nullptr;
    bool m_bDigestInLine = false;
    bool m_bDataWhole = false;  // every byte of the data reached the digest (set before its end item)
    T_IMAGE_DIGESTS m_imageDigests;
    T_IMAGE_TAIL m_imageTail;  // what a compressed image held past the length written
    uint64_t m_nRemainMax = 0;     // largest nRemain of the live targets (poll only)
    uint64_t m_nMd5RemainMax = 0;  // largest nMd5Remain of the live targets (poll only)
};
