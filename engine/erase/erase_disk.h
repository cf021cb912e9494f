#pragma once
// Erases one to four whole drives at the same time with the passes of one
// erase method. Every target has three threads of its own: the pattern
// thread makes the bytes of each pass (a fill byte, a seeded random
// sequence, that sequence again or its complement) into 1 MiB pool blocks;
// the writer writes them from offset 0 to the drive's end, pass after pass;
// in a verification pass the verify thread reads the drive back while the
// pattern thread makes the expected bytes again, and the writer compares
// the two instead of writing.
//
// A target that cannot be opened or measured is skipped with its line. Once
// the passes run, the first target that fails ends the whole erase: every
// target stops, and the run's result is false.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "engine/core/fixed_buffer.h"
#include "engine/core/notify.h"
#include "engine/core/queue.h"
#include "engine/core/tick.h"
#include "engine/core/wake_count.h"
#include "engine/device/device.h"
#include "engine/erase/erase_methods.h"

class CEraseRandom;

// Why a target did not finish every pass.
enum class EEraseFailure {
    None,
    NotOpened,  // could not be opened, or is no disk, or could not be measured
    Write,      // a write pass could not write or flush a unit
    Read,       // a verification pass could not read a unit back
    Mismatch,   // a verification pass read back other bytes (or another length)
    Stopped,    // the erase was stopped: by an abort, or because another target failed
};

class CEraseDisk {
public:
    static constexpr int MAX_TARGETS = 4;

    // One target slot. Its three threads own the fields they write; the
    // monitor only reads the counters and flags.
    struct T_DISKTASK_INFO {
        T_DISKTASK_INFO() = default;
        virtual ~T_DISKTASK_INFO() = default;
        T_DISKTASK_INFO(const T_DISKTASK_INFO&) = delete;
        T_DISKTASK_INFO& operator=(const T_DISKTASK_INFO&) = delete;

        bool bActive = false;                // opened, a disk, and measured
        std::unique_ptr<CQueue> pQueue;      // the current pass's bytes, pattern thread -> writer
        std::unique_ptr<CQueue> pReadQueue;  // bytes read back in a verification pass, verify thread -> writer
        std::unique_ptr<IDevice> hDisk;      // shared by the writer and the verify thread, never at once
        std::thread hThread;                 // the writer
        std::thread::id dwThreadId;
        std::thread hPatternThread;
        std::thread::id dwPatternThreadId;
        std::thread hVerifyThread;
        std::thread::id dwVerifyThreadId;
        CWakeCount hVerifyEvent;  // the writer signals the start of every verification pass
        uint32_t dwError = 0;     // last system error code of this target
        bool bResult = false;     // the writer completed every pass
        uint64_t nSize = 0;       // the drive's size; every pass covers it from offset 0
        // Bytes still to process over all passes: the passes after the
        // current one, plus what is left of the current one.
        std::atomic<uint64_t> nRemain{0};
        std::atomic<double> dSpeed{0.0};  // of the current pass; 0 once the writer has ended
        std::atomic<bool> bStopped{false};
        std::atomic<bool> bFinished{false};  // the writer has ended
        // The first reason this target failed; None while it has not.
        std::atomic<EEraseFailure> eFailure{EEraseFailure::None};
        // The writer's block for write-differences-only, taken before any
        // thread starts so that no thread can leave it waiting for one.
        uint8_t* pOwnBlock = nullptr;
        std::string strPath;  // the device path the slot was opened with
    };

    CEraseDisk();
    virtual ~CEraseDisk();
    CEraseDisk(const CEraseDisk&) = delete;
    CEraseDisk& operator=(const CEraseDisk&) = delete;

    // Erases the nCount (1..4) drives of arrPaths with method nMethod (an
    // id the catalogue does not have runs method 1) and at least nBlocks
    // (at least 16) pool blocks. Returns when every thread it started has
    // ended. True only when every target that became active completed every
    // pass. More than four targets (or none): false, nothing logged.
    bool Run(int nCount, const std::string* arrPaths, uint32_t nMethod, uint32_t nBlocks);
    // Stops a run from another thread (also one that has not started yet);
    // Run then returns false promptly with every handle closed.
    void Abort();

    std::unique_ptr<CFixedBuffer> m_pBuffer;
    T_DISKTASK_INFO m_Task[MAX_TARGETS];
    uint32_t m_nMethod = ERASE_ZERO;
    uint32_t m_nPass = 0;
    uint32_t m_Pass[MAX_ERASE_PASSES] = {};
    uint64_t m_nBlockSize = 0x100000;
    uint64_t m_nTotal = 0;      // the largest size among the active targets
    uint64_t m_nRemainMax = 0;  // the largest nRemain among the active targets (monitor only)
    std::string m_strName[MAX_TARGETS];  // display names; an empty one becomes the device path
    int m_nRow[MAX_TARGETS] = {0, 1, 2, 3};
    uint32_t m_dwStartTick = 0;
    std::atomic<bool> m_bAbort{false};
    std::atomic<bool> m_bWritersDone{false};
    INotifyTarget* m_hNotifyWnd = nullptr;
    uint32_t m_uProgressMsg = DEFAULT_PROGRESS_MSG;
    uint32_t m_dwInterval = 1000;

    // Where targets are opened, and where ticks (the seeds among them) come from.
    IDeviceProvider* m_pDevices = &GetPlatformDevices();
    TTickSource m_fnTick = GetTickCountMs;

private:
    // Run's steps (erase_disk.cpp).
    void LogHeadLine(int nCount);
    bool BuildPipeline(int nCount, uint32_t nBlocks);
    void TakeOwnBlocks();
    void StartWorkers();
    bool StartSlotThreads(int nSlot);
    void PollUntilDone();
    void StopWorkers();
    bool RunResult() const;
    void CloseAndDelete();
    void SetAbort();
    void WakeAll();
    void StageEnded(std::atomic<bool>& bDone);
    // A target failed: its cause is kept, and the whole erase stops.
    void FailRun(int nSlot, EEraseFailure eCause);

    // Opening and measuring (erase_open.cpp).
    bool Prepare(int nCount, const std::string* arrPaths);
    bool RefuseRepeatedPaths(int nCount, const std::string* arrPaths);
    void OpenTarget(int nSlot, const std::string& strPath);
    void SelectMethod();
    bool RefuseSharedStorage();
    void MeasureTarget(int nSlot);
    bool AnyActive() const;

    // The three threads of a slot (erase_pattern.cpp, erase_verify.cpp,
    // erase_writer.cpp).
    void ErasePatternThread(int nSlot);
    bool ProducePass(T_DISKTASK_INFO& t, CEraseRandom* pRandom, uint8_t nByte);
    void EraseVerifyThread(int nSlot);
    bool ReadBackPass(int nSlot);
    void EraseWriterThread(int nSlot);
    bool RunPasses(int nSlot, uint64_t& nWritten, uint64_t& nSkipped);
    bool WritePass(int nSlot, uint32_t nPass, uint64_t& nWritten, uint64_t& nSkipped);
    bool VerifyPass(int nSlot, uint32_t nPass);
    bool TakePatternBlock(T_DISKTASK_INFO& t, uint8_t*& pData, uint64_t& nCount);
    bool SameOnDisk(T_DISKTASK_INFO& t, const uint8_t* pData, uint64_t nPos, uint32_t nCount);
    bool FlushTarget(int nSlot);
    void PassProgress(T_DISKTASK_INFO& t, uint32_t nPass, uint64_t nDone, uint32_t dwPassStart);

    // Progress (erase_progress.cpp).
    void UpdateRemainMax();
    void PostProgress();

    bool m_bWriteDifferences = false;  // the job option, taken once at the start of a run
    uint32_t m_nQueueCapacity = 1;
    std::atomic<bool> m_bAbortRequested{false};  // by Abort(); survives the run's own reset
    std::mutex m_mutexParts;  // guards the pool and queue pointers against Abort
    std::mutex m_mutexState;
    std::condition_variable m_cvState;  // a writer ended, or the run stops
};
