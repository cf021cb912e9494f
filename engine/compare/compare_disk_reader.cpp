// The drive reader of one slot: reads its drive block by block the way
// every drive reader does (retries, the unstable-media agreement), with
// the drive's name in front of every line, and puts each block into the
// slot's disk queue. Giving up fails this slot only; the other drives go on.
#include "engine/compare/compare_disk_image.h"
#include "engine/core/progress.h"
#include "engine/core/tick.h"
#include "engine/blockio/drive_block_reader.h"

void CCompareDiskImage::DiskReaderThread(size_t i)
{
    T_DISKREAD_INFO& rec = m_diskRead[i];
    T_COMPTASK_INFO& task = m_compTask[i];
    uint64_t p = 0;
    uint64_t r = m_nTotal;
    rec.dwStartTick = GetTickCountMs();
    auto fnStop = [&] { return m_bAbort || rec.bFailed || task.bFailed; };
    CDriveBlockReader drive(*rec.hDisk, m_nAgreement, m_strName[i] + " - ", fnStop);
    while (r > 0 && !fnStop()) {
        const uint32_t nRequest = drive.RequestLength(r, m_nBlockSize);
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock && m_bAbort) break;
        uint32_t nGot = 0;
        const CDriveBlockReader::EResult eRead = drive.Read(pBlock, p, nRequest, nGot);
        rec.dwError = drive.LastError();
        if (eRead == CDriveBlockReader::EResult::GaveUp || eRead == CDriveBlockReader::EResult::Stopped) {
            if (pBlock) m_pBuffer->Free(pBlock);
            if (eRead == CDriveBlockReader::EResult::GaveUp) {
                rec.bFailed = true;
                task.m_pDiskQueue->Abort();  // wakes the comparer, which fails the slot
            }
            break;
        }
        // A medium that ends early sends the end-of-data item (0 bytes).
        if (eRead == CDriveBlockReader::EResult::EndOfMedium) r = 0;
        rec.dSpeed = StageSpeed(rec.dSpeed, p + nGot, rec.dwStartTick, GetTickCountMs());
        if (!task.m_pDiskQueue->Put(pBlock, nGot)) {
            // The comparer has stopped taking data: it gives the verdict.
            m_pBuffer->Free(pBlock);
            r = 0;
            break;
        }
        r -= nGot;
        p += nGot;
        rec.nRemain = r;
    }
    rec.nRemain = r;
    rec.bSuccess = r == 0 && !rec.bFailed;
    rec.dSpeed = 0.0;
    FinishStage(rec.bDone);
}
