// A target's writer: runs the passes in order. A write pass takes the
// pattern thread's blocks and writes each at its offset (skipping units the
// drive already holds, with write-differences-only), then flushes; a
// verification pass takes one block from each queue per unit and compares
// them. The first pass that fails ends the whole erase.
#include <algorithm>
#include <cstring>

#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/erase/erase_disk.h"
#include "engine/erase/erase_pass.h"
#include "engine/stage/drive_block_writer.h"

void CEraseDisk::EraseWriterThread(int nSlot)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    t.bResult = false;
    uint64_t nWritten = 0;
    uint64_t nSkipped = 0;
    if (RunPasses(nSlot, nWritten, nSkipped) && !t.bStopped) {
        if (nSkipped == 0) {
            LogInfo("%s - %I64u bytes wrote.\n", m_strName[nSlot], nWritten);
        } else {
            LogInfo("%s - %I64u bytes wrote (skip=%I64u).\n", m_strName[nSlot], nWritten - nSkipped, nSkipped);
        }
        t.bResult = true;
    } else {
        // Stopped by the run, unless this target's own failure came first.
        EEraseFailure eNone = EEraseFailure::None;
        t.eFailure.compare_exchange_strong(eNone, EEraseFailure::Stopped);
    }
    t.dSpeed = 0.0;
    StageEnded(t.bFinished);
}

// Every pass in order, each opened by its line. False as soon as one did
// not complete, or the run stops before the next.
bool CEraseDisk::RunPasses(int nSlot, uint64_t& nWritten, uint64_t& nSkipped)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    for (uint32_t p = 1; p <= m_nPass; ++p) {
        if (m_bAbort || t.bStopped) return false;
        const uint32_t nCode = m_Pass[p - 1];
        if (IsVerifyPass(nCode)) t.hVerifyEvent.Signal();
        LogInfo("%s", ErasePassLine(m_strName[nSlot], p, m_nPass, nCode));
        const bool bDone = IsVerifyPass(nCode) ? VerifyPass(nSlot, p) : WritePass(nSlot, p, nWritten, nSkipped);
        if (!bDone) return false;
        t.nRemain = (m_nPass - p) * t.nSize;
    }
    return true;
}

// One write pass over the whole drive. nWritten counts every unit of the
// pass, skipped ones included. False when the pass failed (the run has
// then been failed) or the run stops.
bool CEraseDisk::WritePass(int nSlot, uint32_t nPass, uint64_t& nWritten, uint64_t& nSkipped)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    CDriveBlockWriter writer(*t.hDisk, m_strName[nSlot], [&] { return m_bAbort || t.bStopped; });
    const uint32_t dwStart = m_fnTick();
    uint64_t nPos = 0;
    while (nPos < t.nSize) {
        uint8_t* pData = nullptr;
        uint64_t nCount = 0;
        if (!TakePatternBlock(t, pData, nCount)) return false;
        const auto n = static_cast<uint32_t>(std::min(nCount, t.nSize - nPos));
        const bool bSame = t.pOwnBlock && SameOnDisk(t, pData, nPos, n);
        const CDriveBlockWriter::EResult eResult = bSame ? CDriveBlockWriter::EResult::Written
                                                         : writer.Write(pData, nPos, n);
        m_pBuffer->Free(pData);
        if (eResult != CDriveBlockWriter::EResult::Written) {
            if (writer.LastError() != 0) t.dwError = writer.LastError();
            if (eResult != CDriveBlockWriter::EResult::Stopped) FailRun(nSlot, EEraseFailure::Write);
            return false;
        }
        if (bSame) nSkipped += n;
        nWritten += n;
        nPos += n;
        PassProgress(t, nPass, nPos, dwStart);
    }
    if (FlushTarget(nSlot)) return true;
    FailRun(nSlot, EEraseFailure::Write);
    return false;
}

// One verification pass: the expected bytes from the pattern thread, the
// drive's bytes from the verify thread, unit by unit. A unit that differs
// or comes back with another length fails the pass at once.
bool CEraseDisk::VerifyPass(int nSlot, uint32_t nPass)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    const std::string& strName = m_strName[nSlot];
    const uint32_t dwStart = m_fnTick();
    uint64_t nPos = 0;
    while (nPos < t.nSize) {
        uint8_t* pData = nullptr;
        uint64_t nCount = 0;
        if (!TakePatternBlock(t, pData, nCount)) return false;
        uint8_t* pRead = nullptr;
        uint64_t nRead = 0;
        if (!t.pReadQueue->Get(pRead, nRead) || !pRead) {
            m_pBuffer->Free(pData);
            return false;  // stopped, or the verify thread failed the run
        }
        EEraseFailure eFailure = EEraseFailure::None;
        if (nRead != nCount) {
            LogError("%s - read count mismatch %08X:%08X.\n", strName, nCount, nRead);
            eFailure = EEraseFailure::Mismatch;
        } else if (std::memcmp(pData, pRead, static_cast<size_t>(nCount)) != 0) {
            LogError("%s - data verify error (%08I64X-%08I64X).\n", strName, nPos, nPos + nCount - 1);
            eFailure = EEraseFailure::Mismatch;
        }
        m_pBuffer->Free(pRead);
        m_pBuffer->Free(pData);
        if (eFailure != EEraseFailure::None) {
            FailRun(nSlot, eFailure);
            return false;
        }
        nPos += nCount;
        PassProgress(t, nPass, nPos, dwStart);
    }
    return true;
}

// The next block of the pass from the pattern thread. False, with nothing
// in hand, when the run stops.
bool CEraseDisk::TakePatternBlock(T_DISKTASK_INFO& t, uint8_t*& pData, uint64_t& nCount)
{
    if (m_bAbort || t.bStopped) return false;
    if (!t.pQueue->Get(pData, nCount)) return false;
    if (pData && nCount > 0) return true;
    if (pData) m_pBuffer->Free(pData);
    return false;
}

// True when the drive already holds exactly these bytes at nPos. A read
// that fails or comes back short just means the unit is written.
bool CEraseDisk::SameOnDisk(T_DISKTASK_INFO& t, const uint8_t* pData, uint64_t nPos, uint32_t nCount)
{
    const T_IO_RESULT res = t.hDisk->ReadAt(nPos, t.pOwnBlock, nCount);
    return res.bOk && res.nCount == nCount && std::memcmp(t.pOwnBlock, pData, nCount) == 0;
}

// Every write pass ends with a flush, so what a verification pass reads
// back, and what the run reports as erased, is stored.
bool CEraseDisk::FlushTarget(int nSlot)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    uint32_t nError = 0;
    if (t.hDisk->Flush(nError)) return true;
    t.dwError = nError;
    LogError("%s - disk flush error.\n%s\n", m_strName[nSlot], GetSystemErrorText(nError));
    return false;
}

void CEraseDisk::PassProgress(T_DISKTASK_INFO& t, uint32_t nPass, uint64_t nDone, uint32_t dwPassStart)
{
    t.nRemain = (m_nPass - nPass) * t.nSize + (t.nSize - nDone);
    t.dSpeed = StageSpeed(t.dSpeed, nDone, dwPassStart, m_fnTick());
}
