// The three threads of an erase target.
//
// The pattern thread makes the bytes of every pass, in 1 MiB pool blocks,
// into the slot's queue; a verification pass gets exactly the bytes it
// must find on the drive. It has its own generator and remembers the seed
// of every random sequence of the run, so a later pass that repeats,
// complements or verifies a sequence makes the same bytes again.
//
// The verify thread, in every verification pass, once the writer has
// signalled its start, reads the drive back from offset 0 to its end in
// 1 MiB blocks, each with the retries every drive reader makes, into the
// slot's read queue. A unit that cannot be read ends the whole erase.
//
// The writer runs the passes in order. A write pass takes the pattern
// thread's blocks and writes each at its offset (skipping units the drive
// already holds, with compare-after-write), then flushes; a verification
// pass takes one block from each queue per unit and compares them. The
// first pass that fails ends the whole erase.
#include <algorithm>
#include <cstring>

#include "engine/blockio/drive_block_reader.h"
#include "engine/blockio/drive_block_writer.h"
#include "engine/blockio/target_drives.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/erase/erase_disk.h"
#include "engine/erase/erase_random.h"

void CEraseDisk::ErasePatternThread(T_SLOT& t)
{
    CEraseRandom random;
    random.Seed(m_run.Tick() + t.nSeed);
    uint32_t arrSeed[256] = {};
    for (uint32_t p = 0; p < m_nPass; ++p) {
        if (Stopping(t)) return;
        const uint32_t nCode = m_Pass[p];
        const uint8_t nByte = ErasePassByte(nCode);
        bool bOk = true;
        switch (ErasePassKind(nCode)) {
        case ERASE_PASS_FILL: bOk = ProducePass(t, nullptr, nByte); break;
        case ERASE_PASS_RANDOM:
            arrSeed[nByte] = m_run.Tick() + t.nSeed;
            random.Seed(arrSeed[nByte]);
            bOk = ProducePass(t, &random, 0x00);
            break;
        case ERASE_PASS_COMPLEMENT:
            random.Seed(arrSeed[nByte]);
            bOk = ProducePass(t, &random, 0xFF);
            break;
        default:  // a repeat
            random.Seed(arrSeed[nByte]);
            bOk = ProducePass(t, &random, 0x00);
            break;
        }
        if (!bOk) return;
    }
}

// The drive's size in blocks: random bytes XORed with nByte when pRandom is
// given, else nByte alone. False when the run stops.
bool CEraseDisk::ProducePass(T_SLOT& t, CEraseRandom* pRandom, uint8_t nByte)
{
    uint64_t nLeft = t.nSize;
    while (nLeft > 0) {
        if (Stopping(t)) return false;
        const auto n = static_cast<uint32_t>(std::min(BLOCK_SIZE, nLeft));
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock) return false;  // the pool was aborted
        if (pRandom) {
            pRandom->Fill(pBlock, n, nByte);
        } else {
            std::memset(pBlock, nByte, n);
        }
        if (!t.pQueue->Put(pBlock, n)) {
            m_pBuffer->Free(pBlock);
            return false;
        }
        nLeft -= n;
    }
    return true;
}

void CEraseDisk::EraseVerifyThread(T_SLOT& t)
{
    for (uint32_t p = 0; p < m_nPass; ++p) {
        if (Stopping(t)) return;
        if (!IsVerifyPass(m_Pass[p])) continue;
        t.hVerifyEvent.Wait();
        if (Stopping(t) || !ReadBackPass(t)) return;
    }
}

// False when the pass ended early: the run stops, or the drive could not
// be read (the run is then failed), or it gave fewer bytes than asked
// (the writer sees the short count and fails the pass).
bool CEraseDisk::ReadBackPass(T_SLOT& t)
{
    CDriveBlockReader reader(*t.hDisk, 0, t.strName + " - ", [&] { return Stopping(t); });
    uint64_t nPos = 0;
    while (nPos < t.nSize) {
        if (Stopping(t)) return false;
        const uint32_t nRequest = reader.RequestLength(t.nSize - nPos, BLOCK_SIZE);
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock) return false;  // the pool was aborted
        uint32_t nGot = 0;
        const CDriveBlockReader::EResult eRead = reader.Read(pBlock, nPos, nRequest, nGot);
        if (eRead == CDriveBlockReader::EResult::GaveUp || eRead == CDriveBlockReader::EResult::Stopped) {
            m_pBuffer->Free(pBlock);
            if (eRead == CDriveBlockReader::EResult::GaveUp) {
                t.dwError = reader.LastError();
                FailRun(t, ESlotVerdict::ReadFailed);
            }
            return false;
        }
        if (!t.pReadQueue->Put(pBlock, nGot)) {
            m_pBuffer->Free(pBlock);
            return false;
        }
        if (nGot < nRequest) return false;
        nPos += nGot;
    }
    return true;
}

void CEraseDisk::EraseWriterThread(T_SLOT& t)
{
    uint64_t nSkipped = 0;
    if (RunPasses(t, nSkipped) && !t.bStopped) {
        if (nSkipped == 0) {
            LogInfo("%s - %I64u bytes wrote.\n", t.strName, t.nWritten);
        } else {
            LogInfo("%s - %I64u bytes wrote (skip=%I64u).\n", t.strName, t.nWritten - nSkipped, nSkipped);
        }
        t.bResult = true;
    } else {
        // Stopped by the run, unless this target's own failure came first.
        ESlotVerdict eNone = ESlotVerdict::NotRun;
        t.eFailure.compare_exchange_strong(eNone, ESlotVerdict::Stopped);
    }
    t.dSpeed = 0.0;
}

// Every pass in order, each opened by its line. False as soon as one did
// not complete, or the run stops before the next.
bool CEraseDisk::RunPasses(T_SLOT& t, uint64_t& nSkipped)
{
    for (uint32_t p = 1; p <= m_nPass; ++p) {
        if (Stopping(t)) return false;
        const uint32_t nCode = m_Pass[p - 1];
        if (IsVerifyPass(nCode)) t.hVerifyEvent.Signal();
        LogInfo("%s", ErasePassLine(t.strName, p, m_nPass, nCode));
        const bool bDone = IsVerifyPass(nCode) ? VerifyPass(t, p) : WritePass(t, p, nSkipped);
        if (!bDone) return false;
        t.nRemain = (m_nPass - p) * t.nSize;
    }
    return true;
}

// One write pass over the whole drive, ended by a flush, so that what a
// verification pass reads back, and what the run reports as erased, is
// stored. nWritten counts every unit of the pass, skipped ones included.
// False when the pass failed (the run has then been failed) or the run
// stops.
bool CEraseDisk::WritePass(T_SLOT& t, uint32_t nPass, uint64_t& nSkipped)
{
    CDriveBlockWriter writer(*t.hDisk, t.strName, [&] { return Stopping(t); });
    const uint32_t dwStart = m_run.Tick();
    uint64_t nPos = 0;
    while (nPos < t.nSize) {
        uint8_t* pData = nullptr;
        uint64_t nCount = 0;
        if (!TakePatternBlock(t, pData, nCount)) return false;
        const auto n = static_cast<uint32_t>(std::min(nCount, t.nSize - nPos));
        const bool bSame = t.pOwnBlock && SameOnDrive(*t.hDisk, t.pOwnBlock, pData, nPos, n);
        const CDriveBlockWriter::EResult eResult = bSame ? CDriveBlockWriter::EResult::Written
                                                         : writer.Write(pData, nPos, n);
        m_pBuffer->Free(pData);
        if (eResult != CDriveBlockWriter::EResult::Written) {
            if (writer.LastError() != 0) t.dwError = writer.LastError();
            if (eResult != CDriveBlockWriter::EResult::Stopped) FailRun(t, ESlotVerdict::WriteFailed);
            return false;
        }
        if (bSame) nSkipped += n;
        t.nWritten += n;
        nPos += n;
        PassProgress(t, nPass, nPos, dwStart);
    }
    uint32_t nError = 0;
    if (FlushDrive(*t.hDisk, t.strName, nError)) return true;
    t.dwError = nError;
    FailRun(t, ESlotVerdict::WriteFailed);
    return false;
}

// One verification pass: the expected bytes from the pattern thread, the
// drive's bytes from the verify thread, unit by unit. A unit that differs
// or comes back with another length fails the pass at once.
bool CEraseDisk::VerifyPass(T_SLOT& t, uint32_t nPass)
{
    const uint32_t dwStart = m_run.Tick();
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
        bool bDiffers = false;
        if (nRead != nCount) {
            LogError("%s - read count mismatch %08X:%08X.\n", t.strName, nCount, nRead);
            bDiffers = true;
        } else if (std::memcmp(pData, pRead, static_cast<size_t>(nCount)) != 0) {
            LogError("%s - data verify error (%08I64X-%08I64X).\n", t.strName, nPos, nPos + nCount - 1);
            bDiffers = true;
        }
        m_pBuffer->Free(pRead);
        m_pBuffer->Free(pData);
        if (bDiffers) {
            FailRun(t, ESlotVerdict::Differs);
            return false;
        }
        nPos += nCount;
        PassProgress(t, nPass, nPos, dwStart);
    }
    return true;
}

// The next block of the pass from the pattern thread. False, with nothing
// in hand, when the run stops.
bool CEraseDisk::TakePatternBlock(T_SLOT& t, uint8_t*& pData, uint64_t& nCount)
{
    if (Stopping(t)) return false;
    if (!t.pQueue->Get(pData, nCount)) return false;
    if (pData && nCount > 0) return true;
    if (pData) m_pBuffer->Free(pData);
    return false;
}

void CEraseDisk::PassProgress(T_SLOT& t, uint32_t nPass, uint64_t nDone, uint32_t dwPassStart)
{
    t.nRemain = (m_nPass - nPass) * t.nSize + (t.nSize - nDone);
    t.dSpeed = StageSpeed(t.dSpeed, nDone, dwPassStart, m_run.Tick());
}
