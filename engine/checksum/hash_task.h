#pragma once
// The image checksum task: one long-lived thread that, on request, reads an
// image file (inflating a compressed one), computes the MD5 digest of its
// data on a second thread and compares it with the image's .md5sum file.
// When IMAGE.sha256sum or IMAGE.sha256 holds a SHA-256 digest, the same
// pass computes the SHA-256 of the file as it is and of a compressed
// image's data, and tells each such file which of them it holds. It
// reports only by posted messages: WM_CHECKSUM_RESULT (started, cancelled,
// failed, size, digests, verdicts) and WM_ENGINE_PROGRESS 1200 at most
// every 250 ms.
//
// Requests: Request stops the calculation in progress (after its current
// block) and makes the new one the next; the latest request wins. Cancel
// stops the calculation in progress and drops one not yet started. Quit
// ends the thread and waits for it; the destructor quits too.
//
// The settings (target, devices, logging, thread start) are set before
// Start and not changed while the thread runs. The flags may be read at
// any time, from any thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/checksum/digest_file.h"
#include "engine/checksum/md5sum_file.h"
#include "engine/codecs/image_format.h"
#include "engine/core/md5.h"
#include "engine/core/notify.h"
#include "engine/device/device.h"
#include "engine/run/engine_run.h"

class CImageFileReader;

class CHashTask {
public:
    CHashTask();
    virtual ~CHashTask();
    CHashTask(const CHashTask&) = delete;
    CHashTask& operator=(const CHashTask&) = delete;

    // Starts the task's thread; false when it could not be started.
    bool Start();
    // Asks for the digest of the image at strPath, read in eFormat (a gzip
    // image as raw data when no zlib library is bound). Returns the
    // request's number for WaitFinished.
    uint64_t Request(const std::string& strPath, EImageFormat eFormat);
    void Cancel();
    void Quit();
    // Waits until the calculation of request nRequest, or of a later one,
    // has ended (or was dropped, or the task has ended); false when the
    // time-out passed first.
    bool WaitFinished(uint64_t nRequest, std::chrono::milliseconds timeout);

    // Shared with the requesting side.
    std::atomic<bool> m_bHashBusy{false};     // a calculation is asked for, being set up or running
    std::atomic<bool> m_bHashRequest{false};  // a calculation was asked for and has not yet succeeded
    std::atomic<bool> m_bHashAbort{false};    // stop the calculation in progress
    std::atomic<bool> m_bHashQuit{false};     // end the thread
    std::atomic<bool> m_bHashValid{false};    // the last calculation read a compressed image successfully
    std::atomic<uint64_t> m_nImageSize{0};    // the data size found by the last successful calculation

    // Settings.
    INotifyTarget* m_hNotifyWnd = nullptr;
    IDeviceProvider* m_pDevices = &GetPlatformDevices();
    // Whether the task's failure reasons go to the operator's log (a
    // command line that asked for this one digest) or only to the developer
    // trace (the window, which shows "エラー" and logs nothing).
    bool m_bLogReasons = false;
    // How the task's threads are started: a test makes it fail, a front end
    // may start them its own way.
    PFN_START_THREAD m_fnStartThread = [](std::function<void()> fn) { return std::thread(std::move(fn)); };

private:
    // What one calculation works on, taken from the shared state at once.
    struct T_HASH_JOB {
        std::string strPath;
        EImageFormat eFormat = EImageFormat::Raw;
        uint64_t nRequest = 0;
    };
    // The counters of one calculation's reading side.
    struct T_HASH_READ {
        bool bCompressed = false;
        uint64_t nFileSize = 0;
        uint64_t nDataBytes = 0;  // bytes of image data delivered to the digest
        uint32_t dwLastReport = 0;
        bool bSha256 = false;  // a file beside the image holds a SHA-256 digest: the SHA-256 digests are asked for
        // The digests of the file as it is: its MD5 for a compressed image,
        // its SHA-256 when asked for; each valid only when its flag is set.
        bool bFileMd5 = false;
        T_DIGEST_VALUE fileMd5;
        bool bFileSha256 = false;
        T_DIGEST_VALUE fileSha256;
        bool bDataSha256 = false;  // dataSha256 is a compressed image's data's SHA-256
        T_DIGEST_VALUE dataSha256;
    };
    // The digest files beside the image, read as the calculation starts.
    struct T_HASH_EXPECTED {
        T_MD5SUM_FILE md5sum;
        std::vector<T_DIGEST_FILE> arrSha256;  // in the order of Sha256FilePathsOf
    };

    // One calculation's digest side: a stage of the run that takes the
    // blocks from the queue into MD5 (and SHA-256 when asked for) until the
    // end-of-data item, or, when no thread can be had, the reading side
    // itself, right after each block.
    struct T_DIGEST {
        CQueue* pQueue = nullptr;
        bool bInLine = false;  // the reading side digests
        CMd5 md5;
        std::unique_ptr<CDigest> pSha256;  // set when the data's SHA-256 is asked for
        bool bEnded = false;  // the end-of-data item was taken: digest (and sha256) hold the digests
        T_MD5_DIGEST digest{};
        T_DIGEST_VALUE sha256;
    };
    enum class EDigestStep { More, End, Failed };

    void taskCalcHash();
    bool WaitForRequest(T_HASH_JOB& job);
    PFN_START_THREAD QuietStart() const;

    void Calculate(const T_HASH_JOB& job);
    bool ReadImage(const T_HASH_JOB& job, T_HASH_READ& read, T_MD5_DIGEST& digest);
    bool OpenImage(const T_HASH_JOB& job, IDeviceProvider& fileDigests, CImageFileReader& reader, T_HASH_READ& read);
    bool HasSignature(const std::string& strPath, CImageFileReader& reader);
    bool ReadBlocks(CImageFileReader& reader, T_DIGEST& digest, T_HASH_READ& read);
    bool PutBlock(T_DIGEST& digest, uint8_t* pBlock, uint64_t nCount);
    void DigestStage(T_DIGEST& digest);
    EDigestStep DigestNext(T_DIGEST& digest);
    void ReportProgress(const CImageFileReader& reader, T_HASH_READ& read);
    void ReportSuccess(const T_MD5_DIGEST& digest, const T_HASH_READ& read, const T_HASH_EXPECTED& expected);
    void ReportSha256(const T_HASH_READ& read, const T_HASH_EXPECTED& expected);
    void ReportFailure();
    void PostState(LPARAM_T nState);

    CEngineRun m_run;  // the calculation's pool, queue and digest stage; the task's thread alone uses it
    std::mutex m_mutexShare;           // guards the request below and orders the flags' hand-over
    std::condition_variable m_hHashEvent;  // the wake-up event (auto-reset: m_bHashSignalled)
    std::condition_variable m_cvFinished;
    bool m_bHashSignalled = false;
    bool m_bWaiting = false;  // the thread waits for the event
    bool m_bEnded = false;    // the thread has ended, or never started
    std::string m_strHashPath;
    EImageFormat m_eHashFormat = EImageFormat::Raw;
    uint64_t m_nRequested = 0;  // number of the latest request
    uint64_t m_nFinished = 0;   // every request up to this one has ended
    std::thread m_hThread;
};
