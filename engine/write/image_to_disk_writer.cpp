// A target's writer: takes the reader's blocks in order and writes each at
// its offset of the drive, 11 failed tries per block, or skips it when the
// drive already holds the same data (compare-after-write). A target that
// fails is dropped alone and reported to the window with its row. With the
// MD5 check the written range is then read back from offset 0 into the
// writer's own block, 11 tries per unit, and its digest is kept for the
// comparison with the image's once the reader has finished that.
#include <algorithm>

#include "engine/blockio/drive_block_reader.h"
#include "engine/blockio/drive_block_writer.h"
#include "engine/blockio/target_drives.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/write/image_to_disk.h"

void CImageToDisk::DiskWriterThread(T_SLOT& t)
{
    // Without its own block a writer that compares or reads back cannot
    // work; that happens only to a run stopped before it began.
    const bool bNeedsBlock = m_job.options.bCompareAfterWrite || m_job.options.bMD5Verify;
    uint64_t nPos = 0;
    uint64_t nSkipped = 0;
    ESlotVerdict eWritten = !bNeedsBlock || t.pOwnBlock ? WritePhase(t, nPos, nSkipped) : ESlotVerdict::Stopped;
    // Every way out of the write phase flushes the target; a flush that
    // fails fails the target, since what it holds may not be stored.
    uint32_t nError = 0;
    if (!FlushDrive(*t.hDisk, t.strName, nError)) {
        t.dwError = nError;
        eWritten = ESlotVerdict::WriteFailed;
    }
    t.nBytes = nPos;
    if (eWritten != ESlotVerdict::Ok) {
        // Whatever failed, the drive is no longer what it was: say how far.
        if (nPos > nSkipped) {
            LogWarning("%s - the write %s after %I64u bytes; the drive was changed.\n", t.strName,
                       m_run.AbortRequested() ? "stopped" : "failed", nPos - nSkipped);
        }
        TargetFailed(t, eWritten);
        return;
    }
    if (nSkipped == 0) {
        LogInfo("%s - %I64u bytes wrote.\n", t.strName, nPos);
    } else {
        LogInfo("%s - %I64u bytes wrote (skip=%I64u).\n", t.strName, nPos - nSkipped, nSkipped);
    }
    if (m_job.options.bMD5Verify) ReadBack(t, nPos);
    t.bWritten = true;
    t.dSpeed = 0.0;
}

// Takes and writes blocks until the length is written. nPos ends as the
// bytes written or skipped. Ok, WriteFailed (this target failed, or the
// image ended early without leave to) or Stopped.
ESlotVerdict CImageToDisk::WritePhase(T_SLOT& t, uint64_t& nPos, uint64_t& nSkipped)
{
    const uint32_t dwStart = m_run.Tick();
    uint64_t nRemain = m_nTotal;
    while (nRemain > 0) {
        if (m_run.Stopped() || t.bStopped) return ESlotVerdict::Stopped;
        uint8_t* pData = nullptr;
        uint64_t nCount = 0;
        if (!t.pQueue->Get(pData, nCount) || !pData) return ESlotVerdict::Stopped;
        if (nCount == 0) {
            // The image data ended before the length: only a compressed
            // image under force-write may be shorter than its targets.
            m_pBuffer->Free(pData);
            if (!ImageIsCompressed(m_job.options) || !m_job.options.bForceWrite) return ESlotVerdict::WriteFailed;
            break;
        }
        const auto n = static_cast<uint32_t>(std::min(nCount, nRemain));
        const bool bSame = m_job.options.bCompareAfterWrite && SameOnDrive(*t.hDisk, t.pOwnBlock, pData, nPos, n);
        const ESlotVerdict eStored = bSame ? ESlotVerdict::Ok : WriteBlock(t, pData, nPos, n);
        m_pBuffer->Free(pData);
        if (eStored != ESlotVerdict::Ok) return eStored;
        if (bSame) nSkipped += n;
        nRemain -= n;
        nPos += n;
        t.nRemain = nRemain;
        t.dSpeed = StageSpeed(t.dSpeed, nPos, dwStart, m_run.Tick());
    }
    t.nRemain = 0;
    return ESlotVerdict::Ok;
}

// Writes one block whole, with the retries every drive writer makes.
ESlotVerdict CImageToDisk::WriteBlock(T_SLOT& t, const uint8_t* pData, uint64_t nPos, uint32_t nCount)
{
    CDriveBlockWriter writer(*t.hDisk, t.strName, [this] { return m_run.Stopped(); });
    const CDriveBlockWriter::EResult eResult = writer.Write(pData, nPos, nCount);
    if (writer.LastError() != 0) t.dwError = writer.LastError();
    switch (eResult) {
    case CDriveBlockWriter::EResult::Written: return ESlotVerdict::Ok;
    case CDriveBlockWriter::EResult::Stopped: return ESlotVerdict::Stopped;
    default: return ESlotVerdict::WriteFailed;
    }
}

// The target is dropped: it takes no more blocks (the flag first: a block
// the reader is putting meanwhile is emptied later by the reader itself),
// what waits for it goes back to the pool, and the window hears of it with
// the target's row.
void CImageToDisk::TargetFailed(T_SLOT& t, ESlotVerdict eVerdict)
{
    t.eVerdict = eVerdict;
    t.bStopped = true;
    EmptyQueue(t);
    t.dSpeed = 0.0;
    m_run.PostFailure(t.nRow);
}

// The outcome shows only in the slot's digest: the write itself has
// already succeeded.
void CImageToDisk::ReadBack(T_SLOT& t, uint64_t nLength)
{
    T_MD5_DIGEST digest{};
    if (!ReadBackDigest(t, nLength, digest) || !m_run.WaitFor(*m_pReader)) return;
    t.digest = digest;
    t.bDigest = true;
    LogInfo("%s MD5SUM=%s\n", t.strName, DigestText(digest));
}

// The digest of the target's first nLength bytes. False, with the cause
// logged, when a unit stays unreadable, the drive ends early or the digest
// cannot be computed; false without a line when the run stops.
bool CImageToDisk::ReadBackDigest(T_SLOT& t, uint64_t nLength, T_MD5_DIGEST& digest)
{
    t.nMd5Remain = nLength;
    const uint32_t dwStart = m_run.Tick();
    CDriveBlockReader drive(*t.hDisk, 0, t.strName + " - ", [this] { return m_run.Stopped(); });
    CMd5 md5;
    uint64_t nPos = 0;
    while (nPos < nLength) {
        if (m_run.Stopped()) return false;
        uint32_t nGot = 0;
        const uint32_t nRequest = drive.RequestLength(nLength - nPos, BLOCK_SIZE);
        const CDriveBlockReader::EResult eRead = drive.Read(t.pOwnBlock, nPos, nRequest, nGot);
        if (eRead == CDriveBlockReader::EResult::EndOfMedium) {
            LogWarning("%s - the drive ended at %I64u bytes, before the %I64u bytes written.\n", t.strName, nPos,
                       nLength);
            return false;
        }
        if (eRead != CDriveBlockReader::EResult::Read) {
            t.dwError = drive.LastError();
            return false;
        }
        md5.Update(t.pOwnBlock, nGot);
        nPos += nGot;
        t.nMd5Remain = nLength - nPos;
        t.dSpeed = StageSpeed(t.dSpeed, nPos, dwStart, m_run.Tick());
    }
    digest = md5.Final();
    if (md5.IsValid()) return true;
    LogError("%s - the MD5 digest could not be computed.\n", t.strName);
    return false;
}
