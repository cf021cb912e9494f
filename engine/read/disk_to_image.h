#pragma once
// Reads one whole drive into one image file while computing the drive's
// MD5 digest: a reader thread fills pool blocks from the drive and hands
// each block to the image writer and to the digest thread by reference.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/device/device.h"
#include "engine/core/fixed_buffer.h"
#include "engine/core/md5.h"
#include "engine/core/notify.h"
#include "engine/core/prompt.h"
#include "engine/core/queue.h"
#include "engine/zlib/parallel_deflate.h"
#include "engine/zlib/zlib_io.h"

class CDiskToImage {
public:
    CDiskToImage();
    virtual ~CDiskToImage();
    CDiskToImage(const CDiskToImage&) = delete;
    CDiskToImage& operator=(const CDiskToImage&) = delete;

    // Reads the drive at strDevice into strImage with nBlocks pool blocks
    // (at least 16). True only when the whole length was read and written
    // and the digest was produced; the cause of a failure is in the log.
    bool Run(const std::string& strDevice, const std::string& strImage, uint32_t nBlocks);
    // Stops a run from another thread; the run then returns false promptly.
    void Abort();
    // How many of the drive's bytes the image holds. During a run, those
    // handed to the image (a compressed image's stream still holds some of
    // them back); after it, exactly what reading the image gives back: a
    // compressed image's member is ended on every way out, also after a
    // stop, so it holds every byte handed to it.
    uint64_t GetImageBytes() const { return m_nImageBytes; }
    // After a run: the compressed image holds data but its member could not
    // be ended (the file system ran out of room first), so it is no usable
    // image. GetImageBytes() is then 0.
    bool ImageUnfinished() const { return m_bImageUnfinished; }

    // Per-stage results, read after Run.
    struct T_STAGE {
        std::thread hThread;
        std::thread::id idThread;
        uint32_t dwError = 0;
        bool bSuccess = false;
        uint32_t dwStartTick = 0;  // written and read by the stage's own thread
        std::atomic<uint64_t> nRemain{0};
        std::atomic<double> dSpeed{0.0};
        std::atomic<bool> bDone{false};
    };

    std::unique_ptr<CFixedBuffer> m_pBuffer;
    std::unique_ptr<CQueue> m_pWriteQueue;
    std::unique_ptr<CQueue> m_pDigestQueue;
    std::unique_ptr<IDevice> m_hDisk;
    std::unique_ptr<IDevice> m_hImage;
    T_STAGE m_reader;
    T_STAGE m_writer;
    CZLIBIO m_zlib;  // the compressed image stream, used by the writer alone
    CParallelDeflate m_parallelDeflate;  // the same stream on several threads, when it can be had
    T_STAGE m_digestStage;
    uint64_t m_nBlockSize = 0x100000;
    uint64_t m_nTotal = 0;
    std::atomic<uint64_t> m_nRemainMax{0};
    std::atomic<uint64_t> m_nImageBytes{0};  // written by the image writer
    std::string m_strImagePath;
    std::string m_strDiskName;
    int m_nRow = 0;
    uint32_t m_dwStartTick = 0;
    bool m_bVerifyFollows = false;  // taken from the verify option at the start of a run
    std::atomic<bool> m_bAbort{false};
    std::atomic<bool> m_bAbortRequested{false};  // by Abort(); survives the run's own reset
    INotifyTarget* m_hNotifyWnd = nullptr;
    uint32_t m_uProgressMsg = DEFAULT_PROGRESS_MSG;
    uint32_t m_uErrorMsg = DEFAULT_ERROR_MSG;
    uint32_t m_dwInterval = 1000;
    bool m_bDigestValid = false;
    T_MD5_DIGEST m_digest{};

    // Ports: where drives and files are opened, and who answers questions.
    IDeviceProvider* m_pDevices = &GetPlatformDevices();
    IPrompt* m_pPrompt = nullptr;

private:
    bool OpenDisk(const std::string& strDevice);
    bool MeasureDisk();
    bool BuildPipeline(uint32_t nBlocks);
    bool OpenImage(const std::string& strImage);
    bool MayReplace(const std::string& strImage);
    bool CheckImage(IDevice& image, const std::string& strImage);
    bool ImageFailed(const std::string& strImage, const std::string& strReason, uint32_t nError);
    bool CutReplacedImage();
    void StartWorkers();
    void PollUntilDone();
    void StopWorkers();
    void ReportResult();
    void DeletePipeline();
    void CloseHandles(bool bResult);
    void PostProgress();
    void SetAbort();
    void StageFinished(T_STAGE& stage);

    void ReaderThread();
    bool HandOut(uint8_t* pBlock, uint32_t nGot);
    bool TakeBlock(CQueue& queue, T_STAGE& stage, uint8_t*& pData, uint64_t& nCount, uint64_t& nRemain);
    void WriterThread();
    bool WriteRawBlock(const uint8_t* pData, uint64_t nPos, uint32_t nCount, uint64_t nDoneBefore);
    bool FlushImage();
    void StartCompressed();
    bool WriteCompressedBlock(const uint8_t* pData, uint64_t nPos, uint32_t nCount, bool bLast);
    bool CommitCompressed();
    bool CompressFailed(const CZLIBIO::T_RESULT& res, const std::string& strWhere);
    bool EndCompressed(bool bComplete, bool bCommitted, bool bFailed, uint64_t nHanded);
    bool EndWhereWritten(uint64_t nFileBytes, uint64_t& nHeld);
    void ReleaseCompressed();
    void DigestThread();

    int m_nAgreement = 0;  // reads that must agree in the unstable-media mode
    bool m_bParallelDeflate = false;  // the writer's stream is m_parallelDeflate's
    bool m_bImageCreated = false;   // the image is a new file of this run
    bool m_bImageReplaced = false;  // an existing image whose old contents are still there
    bool m_bNoRoom = false;            // a compressed write found the file system full
    bool m_bImageUnfinished = false;

    std::mutex m_mutexParts;  // guards the pool and queue pointers against Abort
    std::mutex m_mutexPoll;
    std::condition_variable m_cvPoll;  // wakes the poll loop when a stage ends
};
