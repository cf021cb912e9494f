#pragma once
// Erases one to four whole drives at the same time with the passes of one
// erase method. Every target has three threads of its own: the pattern
// thread makes the bytes of each pass (a fill byte, a seeded random
// sequence, that sequence again or its complement) into 1 MiB pool blocks;
// the writer writes them from offset 0 to the drive's end, pass after pass;
// in a verification pass the verify thread reads the drive back while the
// pattern thread makes the expected bytes again, and the writer compares
// the two instead of writing. Each of the three ends by itself once its
// writer has ended, or when the run stops.
//
// A target that cannot be opened or measured is skipped with its line. Once
// the passes run, the first target that fails ends the whole erase: every
// target stops, and the run's result is false.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "engine/core/fixed_buffer.h"
#include "engine/core/queue.h"
#include "engine/core/wake_count.h"
#include "engine/device/device.h"
#include "engine/erase/erase_methods.h"
#include "engine/run/engine_run.h"

class CEraseRandom;

// How many pool blocks and how deep the queues of an erase run are.
//
// Per target, the pattern thread and the verify thread each hold at most
// their queue's capacity Q, one block in hand and one in the writer's hand;
// with compare-after-write the writer keeps one more to compare with. So a
// target never holds more than 2Q + 4 (+1) blocks, and when the pool has
// that many for every target no thread ever waits for a block that is held
// by a thread that waits itself: a verification pass always finds its
// blocks. The queues are made as deep as the job's blocks allow; when even
// queues of one do not fit, the pool grows to what they need.
struct T_ERASE_PIPELINE {
    uint32_t nPoolBlocks = 0;     // at least the job's block count
    uint32_t nQueueCapacity = 0;  // of each of the two queues of every target; at least 1
};
// The blocks one target can hold at once with queues of nQueueCapacity.
uint32_t EraseBlocksPerTarget(uint32_t nQueueCapacity, bool bCompareBuffer);
T_ERASE_PIPELINE ChooseErasePipeline(uint32_t nJobBlocks, uint32_t nTargets, bool bCompareBuffer);

class CEraseDisk {
public:
    static constexpr int MAX_TARGETS = 4;

    CEraseDisk() = default;
    ~CEraseDisk();
    CEraseDisk(const CEraseDisk&) = delete;
    CEraseDisk& operator=(const CEraseDisk&) = delete;

    // Erases the job's drives (1 to 4) with method job.nEraseMethod (an id
    // the catalogue does not have runs method 1) and at least job.nBlocks
    // (at least 16) pool blocks. The options it follows: shared write, and
    // compare-after-write (units the drive already holds are not written).
    // Returns when every thread it started has ended. bOk only when every
    // target that could be opened and measured completed every pass; each
    // slot says what became of its drive, and nBytes counts what its write
    // passes went through. More than four drives (or none): not Ok,
    // nothing logged.
    T_ENGINE_RESULT Run(const T_ENGINE_JOB& job);
    // Stops a run from another thread (also one that has not started yet);
    // Run then returns promptly with every handle closed.
    void Abort() { m_run.Abort(); }

private:
    static constexpr uint64_t BLOCK_SIZE = 0x100000;

    // One target. Its three threads own the fields they write; the poll
    // only reads the counters and flags.
    struct T_SLOT {
        std::string strPath;
        std::string strName;  // the display name, the path when the job gave none
        int nRow = 0;
        uint32_t nSeed = 0;    // added to the tick of every seed, so each slot has its own sequences
        bool bActive = false;  // opened, a disk, and measured
        CQueue* pQueue = nullptr;      // the current pass's bytes, pattern thread -> writer
        CQueue* pReadQueue = nullptr;  // bytes read back in a verification pass, verify thread -> writer
        std::unique_ptr<IDevice> hDisk;  // shared by the writer and the verify thread, never at once
        CWakeCount hVerifyEvent;  // the writer signals the start of every verification pass
        uint32_t dwError = 0;     // last system error code of this target
        bool bResult = false;     // the writer completed every pass
        uint64_t nSize = 0;       // the drive's size; every pass covers it from offset 0
        uint64_t nWritten = 0;    // what the write passes went through, skipped units included
        // Bytes still to process over all passes: the passes after the
        // current one, plus what is left of the current one.
        std::atomic<uint64_t> nRemain{0};
        std::atomic<double> dSpeed{0.0};  // of the current pass; 0 once the writer has ended
        std::atomic<bool> bStopped{false};
        // The first reason this target failed; NotRun while it has not.
        std::atomic<ESlotVerdict> eFailure{ESlotVerdict::NotRun};
        // The writer's block for compare-after-write, taken before any
        // thread starts so that no thread can leave it waiting for one.
        uint8_t* pOwnBlock = nullptr;
    };

    // Run's steps (erase_disk.cpp).
    void MakeSlots();
    void LogHeadLine();
    bool BuildPipeline();
    bool Prepare();
    void MeasureTarget(T_SLOT& t);
    bool AnyActive() const;
    void TakeOwnBlocks();
    void StartWorkers();
    T_ENGINE_RESULT Results() const;
    void CloseAndDelete();
    void UpdateRemainMax();
    void PostProgress();
    // A target failed: its cause is kept, and the whole erase stops.
    void FailRun(T_SLOT& t, ESlotVerdict eCause);

    // The three threads of a slot (erase_threads.cpp).
    void ErasePatternThread(T_SLOT& t);
    bool ProducePass(T_SLOT& t, CEraseRandom* pRandom, uint8_t nByte);
    void EraseVerifyThread(T_SLOT& t);
    bool ReadBackPass(T_SLOT& t);
    void EraseWriterThread(T_SLOT& t);
    bool RunPasses(T_SLOT& t, uint64_t& nSkipped);
    bool WritePass(T_SLOT& t, uint32_t nPass, uint64_t& nSkipped);
    bool VerifyPass(T_SLOT& t, uint32_t nPass);
    bool TakePatternBlock(T_SLOT& t, uint8_t*& pData, uint64_t& nCount);
    void PassProgress(T_SLOT& t, uint32_t nPass, uint64_t nDone, uint32_t dwPassStart);
    bool Stopping(const T_SLOT& t) const { return m_run.Stopped() || t.bStopped; }

    CEngineRun m_run;
    T_ENGINE_JOB m_job;          // the job as Run received it
    std::deque<T_SLOT> m_slots;  // one per drive of the job, in its order
    CFixedBuffer* m_pBuffer = nullptr;  // the run's pool
    uint32_t m_nPass = 0;
    uint32_t m_Pass[MAX_ERASE_PASSES] = {};
    uint64_t m_nTotal = 0;      // the largest size among the active targets
    uint64_t m_nRemainMax = 0;  // the largest nRemain among the active targets (poll only)
};
