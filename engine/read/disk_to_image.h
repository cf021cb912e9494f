#pragma once
// Reads one whole drive into one image file (raw, or a compressed .gmz or
// .zst)
// while computing the drive's MD5 digest: a reader thread fills 1 MiB pool
// blocks from the drive and hands each block by reference to the image
// writer and to the digest thread.
//
// Nothing of an existing image is lost before everything that can be
// checked has been: the drive opened, of the right kind and measured, the
// pool built, the image a regular file not stored on the drive and, when
// it exists, its replacement answered Yes. Its old contents go with the
// first block written; a new image that never got a byte is removed again.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/core/fixed_buffer.h"
#include "engine/core/md5.h"
#include "engine/core/queue.h"
#include "engine/device/device.h"
#include "engine/run/engine_run.h"
#include "engine/codecs/compressed_image_writer.h"

class CDiskToImage {
public:
    CDiskToImage() = default;
    ~CDiskToImage();
    CDiskToImage(const CDiskToImage&) = delete;
    CDiskToImage& operator=(const CDiskToImage&) = delete;

    // Reads the job's one drive into job.strImage with the job's pool
    // blocks (at least 16). The options it follows: shared read, unstable
    // media, the image's format (raw, gzip or zstd; the engine writes no
    // other) with its threads and zstd level, overwrite (an existing image
    // is replaced without asking wiring.pPrompt), and verify (a compare
    // follows: the read is the first half of the job's progress). bOk only
    // when the whole length was read and written and the digest produced.
    // The slot is Ok when the whole drive reached the image; its nBytes are
    // what the image holds (for a compressed image, what reading it gives
    // back), its digest the drive's. nTotal is the drive's size, dwError
    // the image's error. The causes of a failure are in the log. A job
    // with other than one drive: not Ok, nothing logged.
    T_ENGINE_RESULT Run(const T_ENGINE_JOB& job);
    // Stops a run from another thread (also one that has not started yet);
    // Run then returns promptly with every handle closed.
    void Abort() { m_run.Abort(); }

private:
    static constexpr uint64_t BLOCK_SIZE = 0x100000;

    // What one stage thread leaves; the thread writes it, the poll reads
    // the counters.
    struct T_STAGE {
        uint32_t dwError = 0;
        bool bSuccess = false;
        uint32_t dwStartTick = 0;
        std::atomic<uint64_t> nRemain{0};
        std::atomic<double> dSpeed{0.0};
    };

    // Run's steps (disk_to_image.cpp).
    void Reset();
    bool BuildPipeline();
    void StartWorkers();
    void ReportResult();
    T_ENGINE_RESULT Results(bool bOk) const;
    void PostProgress();

    // The drive and the image (disk_to_image_open.cpp).
    bool OpenDisk();
    bool MeasureDisk();
    bool OpenImage();
    bool MayReplace();
    bool CheckImage(IDevice& image);
    bool ImageFailed(const std::string& strReason, uint32_t nError);
    bool CutReplacedImage();
    void CloseHandles(bool bResult);

    // The three stages (disk_to_image_stages.cpp).
    void ReaderThread();
    bool HandOut(uint8_t* pBlock, uint32_t nGot);
    void EndConsumersShort();
    bool TakeBlock(CQueue& queue, T_STAGE& stage, uint8_t*& pData, uint64_t& nCount, uint64_t& nRemain);
    void DigestThread();
    void WriterThread();
    bool WriteRawBlock(const uint8_t* pData, uint64_t nPos, uint32_t nCount, uint64_t nDoneBefore);
    bool FlushImage();

    // The compressed image (disk_to_image_compress.cpp).
    bool FormatWritten();
    void StartCompressed();
    bool WriteCompressedBlock(const uint8_t* pData, uint64_t nPos, uint32_t nCount, bool bLast);
    bool CommitCompressed();
    bool CompressFailed(const T_IMAGE_WRITE_RESULT& res, const std::string& strWhere);
    bool EndCompressed(bool bComplete, bool bCommitted, bool bFailed, uint64_t nHanded);
    bool EndWhereWritten(uint64_t nFileBytes, uint64_t& nHeld);
    void ReleaseCompressed();

    CEngineRun m_run;
    T_ENGINE_JOB m_job;  // the job as Run received it
    std::string m_strDiskName;  // the drive's display name, its path when the job gave none
    CFixedBuffer* m_pBuffer = nullptr;  // the run's pool
    CQueue* m_pWriteQueue = nullptr;   // reader -> image writer; the run owns it
    CQueue* m_pDigestQueue = nullptr;  // reader -> digest thread; the run owns it
    std::unique_ptr<IDevice> m_hDisk;
    std::unique_ptr<IDevice> m_hImage;
    T_STAGE m_reader;
    T_STAGE m_writer;
    T_STAGE m_digestStage;
    EImageFormat m_eFormat = EImageFormat::Raw;  // the image's format
    std::unique_ptr<ICompressedImageWriter> m_pCompressed;  // a compressed image's stream, the writer's alone
    T_IMAGE_WRITE_RESULT m_startFailure;  // why m_pCompressed could not be had
    uint64_t m_nTotal = 0;  // the drive's size
    std::atomic<uint64_t> m_nImageBytes{0};  // written by the image writer
    bool m_bDigestValid = false;
    T_MD5_DIGEST m_digest{};
    int m_nAgreement = 0;  // reads that must agree in the unstable-media mode
    bool m_bDiskReady = false;  // the drive was opened, is a disk and was measured
    bool m_bStarted = false;    // the pool was built and the image opened: the stages ran
    bool m_bReadGaveUp = false;  // the reader gave a block up
    bool m_bImageCreated = false;   // the image is a new file of this run
    bool m_bImageReplaced = false;  // an existing image whose old contents are still there
    bool m_bNoRoom = false;         // a compressed write found the file system full
    bool m_bImageUnfinished = false;
};
