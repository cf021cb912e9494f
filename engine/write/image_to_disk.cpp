// The write job's run operation: builds the pipeline, opens and checks
// everything, runs the reader and the writers while it posts progress,
// and closes every handle at the end, whatever happened.
#include "engine/write/image_to_disk.h"

#include <algorithm>
#include <system_error>

#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/core/tick.h"

namespace {
constexpr uint32_t MIN_BLOCKS = 16;
}

CImageToDisk::CImageToDisk() = default;

CImageToDisk::~CImageToDisk()
{
    SetAbort();
    StopWorkers();
    CloseAndDelete();
}

bool CImageToDisk::Run(int nCount, const std::string* arrPaths, const std::string& strImage, uint32_t nBlocks)
{
    if (nCount < 1 || nCount > MAX_TARGETS || !arrPaths) return false;
    TakeOptions();
    nBlocks = std::max(nBlocks, MIN_BLOCKS);
    for (int i = 0; i < nCount; ++i) {
        if (m_strName[i].empty()) m_strName[i] = arrPaths[i];
    }
    LogHeadLine(nCount, strImage);

    bool bResult = false;
    if (BuildPipeline(nBlocks) && Prepare(nCount, arrPaths, strImage) && !m_bAbortRequested) {
        TakeOwnBlocks();
        StartWorkers();
        PollUntilDone();
        StopWorkers();
        bResult = RunResult();
    }
    CloseAndDelete();
    return bResult;
}

void CImageToDisk::TakeOptions()
{
    m_opt.bCompressed = g_bOptCompressImage;
    m_opt.bForce = g_bOptForceWrite;
    m_opt.bWriteDifferences = g_bOptCompareAfterWrite;
    m_opt.bMd5Check = g_bOptMD5Verify;
    m_opt.bShared = g_bOptSharedWrite;
}

// "WRITE <image> => <first>, <second>, ...": one line, posted whole.
void CImageToDisk::LogHeadLine(int nCount, const std::string& strImage)
{
    std::string strLine = "WRITE" + FormatText(" %s => %s", strImage, m_strName[0]);
    for (int i = 1; i < nCount; ++i) strLine += FormatText(", %s", m_strName[i]);
    LogInfo("%s", strLine + "\n");
}

// A fresh queue for every slot and the pool. Without its blocks the job
// fails with the reason in the log; no device has been opened yet.
bool CImageToDisk::BuildPipeline(uint32_t nBlocks)
{
    std::lock_guard lock(m_mutexParts);
    for (T_DISKTASK_INFO& t : m_Task) {
        t.pQueue = std::make_unique<CQueue>(nBlocks);
        t.bActive = false;
        t.dwError = 0;
        t.bResult = t.bMd5Match = false;
        t.nRemain = t.nMd5Remain = 0;
        t.dSpeed = 0.0;
        t.bStopped = t.bFinished = t.bMd5Phase = false;
    }
    m_bReaderResult = false;
    m_bImageMd5Valid = false;
    m_pBuffer = std::make_unique<CFixedBuffer>();
    if (m_pBuffer->Create(m_nBlockSize, nBlocks)) return true;
    LogError("out of memory.\n%s\n", GetSystemErrorText(SystemError::NoMemory()));
    m_pBuffer.reset();
    return false;
}

// Each writer that compares or reads back gets its block now, while the
// whole pool is free: the reader, which may fill every other block, can
// then never leave a writer waiting for one. (At most 4 of the pool's 16 or
// more blocks; a pool aborted meanwhile gives none, and the run stops.)
void CImageToDisk::TakeOwnBlocks()
{
    if (!m_opt.bWriteDifferences && !m_opt.bMd5Check) return;
    for (T_DISKTASK_INFO& t : m_Task) {
        if (t.bActive) t.pOwnBlock = m_pBuffer->Alloc();
    }
}

void CImageToDisk::StartWorkers()
{
    m_bAbort = m_bAbortRequested.load();
    m_bReaderDone = m_bWritersDone = false;
    m_nReaderRemain = m_nTotal;
    m_dReaderSpeed = 0.0;
    for (T_DISKTASK_INFO& t : m_Task) {
        t.nRemain = t.nMd5Remain = m_nTotal;
    }
    m_nRemainMax = m_nMd5RemainMax = m_nTotal;
    m_dwStartTick = GetTickCountMs();

    if (!StartThread(m_hReaderThread, m_dwReaderThreadId, m_dwReaderError, -1)) return;
    for (int i = 0; i < MAX_TARGETS; ++i) {
        T_DISKTASK_INFO& t = m_Task[i];
        if (t.bActive && !StartThread(t.hThread, t.dwThreadId, t.dwError, i)) {
            t.bStopped = true;
            return;
        }
    }
}

// Starts the reader (nSlot -1) or the writer of a slot. A thread that
// cannot be started abandons the whole run.
bool CImageToDisk::StartThread(std::thread& hThread, std::thread::id& id, uint32_t& dwError, int nSlot)
{
    try {
        hThread = nSlot < 0 ? std::thread(&CImageToDisk::ImageReaderThread, this)
                            : std::thread(&CImageToDisk::DiskWriterThread, this, nSlot);
        id = hThread.get_id();
        return true;
    } catch (const std::system_error& e) {
        dwError = static_cast<uint32_t>(e.code().value());
        LogError("CreateThread() failed.\n%s\n", GetSystemErrorText(dwError));
        SetAbort();
        return false;
    }
}

// Posts progress every interval and once more at the end; the last post
// shows the finished state however quickly the threads ended.
void CImageToDisk::PollUntilDone()
{
    auto bOver = [this] {
        bool bWriters = true;
        for (const T_DISKTASK_INFO& t : m_Task) bWriters = bWriters && (!t.bActive || t.bFinished);
        m_bWritersDone = bWriters;
        return (m_bReaderDone && bWriters) || m_bAbort;
    };
    std::unique_lock lock(m_mutexState);
    while (!bOver()) {
        m_cvState.wait_for(lock, std::chrono::milliseconds(m_dwInterval), bOver);
        lock.unlock();
        UpdateRemainMax(false);
        PostProgress();
        lock.lock();
    }
    lock.unlock();
    UpdateRemainMax(true);
    PostProgress();
}

// Stops whatever still runs and waits for every thread. Threads are never
// killed: the flag stops them before their next block or try, and the
// aborted pool and queues wake every thread that waits.
void CImageToDisk::StopWorkers()
{
    if (m_bAbort) SetAbort();
    if (m_hReaderThread.joinable()) m_hReaderThread.join();
    for (T_DISKTASK_INFO& t : m_Task) {
        if (t.hThread.joinable()) t.hThread.join();
    }
}

bool CImageToDisk::RunResult() const
{
    if (m_bAbort || !m_bReaderResult) return false;
    return std::all_of(std::begin(m_Task), std::end(m_Task), [](const T_DISKTASK_INFO& t) {
        return !t.bActive || t.bResult;
    });
}

// Every target and the image are closed; the own blocks go back before the
// pool itself goes.
void CImageToDisk::CloseAndDelete()
{
    for (T_DISKTASK_INFO& t : m_Task) t.hDisk.reset();
    m_image.Close();
    std::lock_guard lock(m_mutexParts);
    for (T_DISKTASK_INFO& t : m_Task) {
        if (t.pOwnBlock && m_pBuffer) m_pBuffer->Free(t.pOwnBlock);
        t.pOwnBlock = nullptr;
        t.pQueue.reset();
    }
    m_pBuffer.reset();
}

// The run stops: the flag first, then the queues and the pool (so every
// waiting thread wakes and no queue can be emptied under a live writer),
// then no slot takes blocks any more.
void CImageToDisk::SetAbort()
{
    m_bAbort = true;
    {
        std::lock_guard lock(m_mutexParts);
        for (T_DISKTASK_INFO& t : m_Task) {
            if (t.pQueue) t.pQueue->Abort();
        }
        if (m_pBuffer) m_pBuffer->Abort();
    }
    for (T_DISKTASK_INFO& t : m_Task) t.bStopped = true;
    std::lock_guard lock(m_mutexState);
    m_cvState.notify_all();
}

void CImageToDisk::Abort()
{
    m_bAbortRequested = true;
    SetAbort();
}

void CImageToDisk::StageEnded(std::atomic<bool>& bDone)
{
    std::lock_guard lock(m_mutexState);
    bDone = true;
    m_cvState.notify_all();
}

// Waits until the reader has ended (its digest is then final). False when
// the run stops first.
bool CImageToDisk::WaitForReader()
{
    std::unique_lock lock(m_mutexState);
    m_cvState.wait(lock, [this] { return m_bReaderDone || m_bAbort; });
    return m_bReaderDone;
}
