// A target's writer: takes the reader's blocks in order and writes each at
// its offset of the drive, 11 failed tries per block, or skips it when the
// drive already holds the same data (write-differences-only). A target
// that fails is dropped alone and reported to the window with its row.
#include <algorithm>
#include <cstring>

#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/core/tick.h"
#include "engine/stage/drive_block_writer.h"
#include "engine/write/image_to_disk.h"

void CImageToDisk::DiskWriterThread(int nSlot)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    // Without its own block a writer that compares or reads back cannot
    // work; that happens only to a run stopped before it began.
    const bool bNeedsBlock = m_opt.bWriteDifferences || m_opt.bMd5Check;
    uint64_t nPos = 0;
    uint64_t nSkipped = 0;
    const bool bWritten = (!bNeedsBlock || t.pOwnBlock) && WritePhase(nSlot, nPos, nSkipped);
    const bool bFlushed = FlushTarget(nSlot);
    if (!bWritten || !bFlushed) {
        // Whatever failed, the drive is no longer what it was: say how far.
        if (nPos > nSkipped) {
            LogWarning("%s - the write %s after %I64u bytes; the drive was changed.\n", m_strName[nSlot],
                       m_bAbortRequested ? "stopped" : "failed", nPos - nSkipped);
        }
        TargetFailed(nSlot);
        return;
    }
    if (nSkipped == 0) {
        LogInfo("%s - %I64u bytes wrote.\n", m_strName[nSlot], nPos);
    } else {
        LogInfo("%s - %I64u bytes wrote (skip=%I64u).\n", m_strName[nSlot], nPos - nSkipped, nSkipped);
    }
    if (m_opt.bMd5Check) ReadBack(nSlot, nPos);
    t.bResult = true;
    t.dSpeed = 0.0;
    StageEnded(t.bFinished);
}

// Takes and writes blocks until the length is written. nPos ends as the
// bytes written or skipped. False when the target failed or the run stops.
bool CImageToDisk::WritePhase(int nSlot, uint64_t& nPos, uint64_t& nSkipped)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    const uint32_t dwStart = GetTickCountMs();
    uint64_t nRemain = m_nTotal;
    while (nRemain > 0) {
        if (m_bAbort || t.bStopped) return false;
        uint8_t* pData = nullptr;
        uint64_t nCount = 0;
        if (!t.pQueue->Get(pData, nCount) || !pData) return false;
        if (nCount == 0) {
            // The image data ended before the length: only a compressed
            // image under force-write may be shorter than its targets.
            m_pBuffer->Free(pData);
            if (!m_opt.bCompressed || !m_opt.bForce) return false;
            break;
        }
        const auto n = static_cast<uint32_t>(std::min(nCount, nRemain));
        const bool bSame = m_opt.bWriteDifferences && SameOnDisk(t, pData, nPos, n);
        const bool bStored = bSame || WriteBlock(nSlot, pData, nPos, n);
        m_pBuffer->Free(pData);
        if (!bStored) return false;
        if (bSame) nSkipped += n;
        nRemain -= n;
        nPos += n;
        t.nRemain = nRemain;
        t.dSpeed = StageSpeed(t.dSpeed, nPos, dwStart, GetTickCountMs());
    }
    t.nRemain = 0;
    return true;
}

// True when the drive already holds exactly these bytes at nPos. A read
// that fails or comes back short just means the unit is written.
bool CImageToDisk::SameOnDisk(T_DISKTASK_INFO& t, const uint8_t* pData, uint64_t nPos, uint32_t nCount)
{
    const T_IO_RESULT res = t.hDisk->ReadAt(nPos, t.pOwnBlock, nCount);
    return res.bOk && res.nCount == nCount && std::memcmp(t.pOwnBlock, pData, nCount) == 0;
}

// Writes one block whole, with the retries every drive writer makes.
// False when the target must be dropped (the cause is logged) or the run
// stops (nothing logged).
bool CImageToDisk::WriteBlock(int nSlot, const uint8_t* pData, uint64_t nPos, uint32_t nCount)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    CDriveBlockWriter writer(*t.hDisk, m_strName[nSlot], [this] { return m_bAbort.load(); });
    const CDriveBlockWriter::EResult eResult = writer.Write(pData, nPos, nCount);
    if (writer.LastError() != 0) t.dwError = writer.LastError();
    return eResult == CDriveBlockWriter::EResult::Written;
}

// Every way out of the write phase flushes the target; a flush that fails
// fails the target, since what it holds may not be stored.
bool CImageToDisk::FlushTarget(int nSlot)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    uint32_t nError = 0;
    if (t.hDisk->Flush(nError)) return true;
    t.dwError = nError;
    LogError("%s - disk flush error.\n%s\n", m_strName[nSlot], GetSystemErrorText(nError));
    return false;
}

// The target is dropped: it takes no more blocks, what waits for it goes
// back to the pool, and the window hears of it with the target's row.
void CImageToDisk::TargetFailed(int nSlot)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    StopTaking(t);
    t.dSpeed = 0.0;
    PostNotify(m_hNotifyWnd, m_uErrorMsg, 0, static_cast<LPARAM_T>(m_nRow[nSlot]));
    StageEnded(t.bFinished);
}

// Called by the slot's own writer once it takes nothing more. The flag
// comes first: a block the reader is putting meanwhile is emptied later by
// the reader itself.
void CImageToDisk::StopTaking(T_DISKTASK_INFO& t)
{
    t.bStopped = true;
    EmptyQueue(t);
}
