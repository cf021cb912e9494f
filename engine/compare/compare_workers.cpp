// The compare job's worker threads: started in order (the image-file
// reader, then per drive its reader and its comparer), watched by the poll
// loop, stopped together when the run is aborted, and always joined.
#include <system_error>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/core/tick.h"

void CCompareDiskImage::StartWorkers()
{
    m_bAbort = m_bAbortRequested.load();
    m_bAllDiskReadDone = m_bFileReadDone = m_bAllCompareDone = false;
    m_fileRead.bDone = false;
    m_fileRead.dwError = 0;
    m_fileRead.dSpeed = 0.0;
    m_fileRead.nRemain = m_nTotal;
    m_fileRead.tail = T_IMAGE_TAIL{};
    for (size_t i = 0; i < MAX_DRIVES; ++i) {
        m_diskRead[i].nRemain = m_nTotal;
        m_compTask[i].nRemain = m_nTotal;
    }
    m_nRemainMax = m_nTotal;
    m_dwStartTick = GetTickCountMs();

    // Without the image-file reader no other thread is started.
    if (!StartThread(m_fileRead.hThread, m_fileRead.idThread, [this] { FileReaderThread(); })) return;
    for (size_t i = 0; i < MAX_DRIVES; ++i) {
        T_DISKREAD_INFO& rec = m_diskRead[i];
        T_COMPTASK_INFO& task = m_compTask[i];
        if (!rec.bActive) continue;
        if (!StartThread(rec.hThread, rec.idThread, [this, i] { DiskReaderThread(i); }) ||
            !StartThread(task.hThread, task.idThread, [this, i] { ComparerThread(i); })) {
            rec.bFailed = true;
            task.bFailed = true;
            return;
        }
    }
}

// False, with the run aborted, when the system refuses another thread.
bool CCompareDiskImage::StartThread(std::thread& hThread, std::thread::id& idThread, std::function<void()> fnBody)
{
    try {
        hThread = std::thread(std::move(fnBody));
        idThread = hThread.get_id();
        return true;
    } catch (const std::system_error& e) {
        LogError("CreateThread() failed.\n%s\n", GetSystemErrorText(static_cast<uint32_t>(e.code().value())));
        SetAbort();
        return false;
    }
}

// Posts progress every interval and once more at the end, so that the last
// batch shows the finished state however quickly the stages ended. A run
// in which every drive has failed is aborted: nothing is left to compare.
void CCompareDiskImage::PollUntilDone()
{
    while (!UpdateDoneFlags() && !m_bAbort) {
        {
            std::unique_lock lock(m_mutexPoll);
            m_cvPoll.wait_for(lock, std::chrono::milliseconds(m_dwInterval),
                              [this] { return UpdateDoneFlags() || m_bAbort || EverySlotFailed(); });
        }
        if (EverySlotFailed()) SetAbort();
        UpdateRemainMax();
        PostProgress();
    }
    UpdateRemainMax();
    PostProgress();
}

// Sets the three done flags from the stages; true when all are done.
bool CCompareDiskImage::UpdateDoneFlags()
{
    bool bDisk = true;
    bool bCompare = true;
    for (size_t i = 0; i < MAX_DRIVES; ++i) {
        if (!m_compTask[i].bActive) continue;
        bDisk = bDisk && m_diskRead[i].bDone;
        bCompare = bCompare && m_compTask[i].bDone;
    }
    m_bAllDiskReadDone = bDisk;
    m_bAllCompareDone = bCompare;
    m_bFileReadDone = m_fileRead.bDone.load();
    return bDisk && bCompare && m_bFileReadDone;
}

// Every drive reader, or every comparer, of the run has failed.
bool CCompareDiskImage::EverySlotFailed() const
{
    bool bReaders = true;
    bool bComparers = true;
    for (size_t i = 0; i < MAX_DRIVES; ++i) {
        if (!m_compTask[i].bActive) continue;
        bReaders = bReaders && m_diskRead[i].bFailed;
        bComparers = bComparers && m_compTask[i].bFailed;
    }
    return bReaders || bComparers;
}

void CCompareDiskImage::StopWorkers()
{
    if (m_bAbort) SetAbort();
    if (m_fileRead.hThread.joinable()) m_fileRead.hThread.join();
    for (size_t i = 0; i < MAX_DRIVES; ++i) {
        if (m_diskRead[i].hThread.joinable()) m_diskRead[i].hThread.join();
        if (m_compTask[i].hThread.joinable()) m_compTask[i].hThread.join();
    }
}

// Ends the whole run: the flag stops every stage before its next block,
// and aborting the queues and the pool wakes every stage that waits.
void CCompareDiskImage::SetAbort()
{
    m_bAbort = true;
    {
        std::lock_guard lock(m_mutexParts);
        for (T_COMPTASK_INFO& task : m_compTask) {
            if (task.m_pDiskQueue) task.m_pDiskQueue->Abort();
            if (task.m_pFileQueue) task.m_pFileQueue->Abort();
        }
        if (m_pBuffer) m_pBuffer->Abort();
    }
    WakePoll();
}

void CCompareDiskImage::Abort()
{
    m_bAbortRequested = true;
    for (size_t i = 0; i < MAX_DRIVES; ++i) {
        m_diskRead[i].bFailed = true;
        m_compTask[i].bFailed = true;
    }
    SetAbort();
}

void CCompareDiskImage::WakePoll()
{
    std::lock_guard lock(m_mutexPoll);
    m_cvPoll.notify_all();
}

void CCompareDiskImage::FinishStage(std::atomic<bool>& bDone)
{
    std::lock_guard lock(m_mutexPoll);
    bDone = true;
    m_cvPoll.notify_all();
}
