// A target's verify thread: in every verification pass, once the writer
// has signalled its start, reads the drive back from offset 0 to its end
// in 1 MiB blocks, each with the retries every drive reader makes, into the
// slot's read queue. A unit that cannot be read ends the whole erase.
#include <algorithm>

#include "engine/erase/erase_disk.h"
#include "engine/erase/erase_pass.h"
#include "engine/stage/drive_block_reader.h"

void CEraseDisk::EraseVerifyThread(int nSlot)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    for (uint32_t p = 0; p < m_nPass; ++p) {
        if (m_bAbort || t.bStopped) return;
        if (!IsVerifyPass(m_Pass[p])) continue;
        t.hVerifyEvent.Wait();
        if (m_bAbort || t.bStopped) return;
        if (!ReadBackPass(nSlot)) return;
    }
}

// False when the pass ended early: the run stops, or the drive could not
// be read (the run is then failed), or it gave fewer bytes than asked
// (the writer sees the short count and fails the pass).
bool CEraseDisk::ReadBackPass(int nSlot)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    auto fnStop = [&] { return m_bAbort || t.bStopped; };
    CDriveBlockReader reader(*t.hDisk, 0, m_strName[nSlot] + " - ", fnStop);
    uint64_t nPos = 0;
    while (nPos < t.nSize) {
        if (fnStop()) return false;
        const uint32_t nRequest = reader.RequestLength(t.nSize - nPos, m_nBlockSize);
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock) return false;  // the pool was aborted
        uint32_t nGot = 0;
        const CDriveBlockReader::EResult eRead = reader.Read(pBlock, nPos, nRequest, nGot);
        if (eRead == CDriveBlockReader::EResult::GaveUp || eRead == CDriveBlockReader::EResult::Stopped) {
            m_pBuffer->Free(pBlock);
            if (eRead == CDriveBlockReader::EResult::GaveUp) {
                t.dwError = reader.LastError();
                FailRun(nSlot, EEraseFailure::Read);
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
