// The two kinds of reader of a compare.
//
// The image-file reader reads the image once, in blocks that pair with the
// drive readers' blocks (1 MiB, or 4096 bytes in the unstable-media mode),
// and hands each block by reference to every comparer still taking data.
// A block it cannot read ends the whole run; the reader has logged why.
//
// The drive reader of a slot reads its drive block by block the way every
// drive reader does (retries, the unstable-media agreement), with the
// drive's name in front of every line, and puts each block into the
// slot's disk queue. Giving up fails this slot only; the others go on.
#include <algorithm>

#include "engine/blockio/drive_block_reader.h"
#include "engine/compare/compare_disk_image.h"
#include "engine/core/progress.h"

void CCompareDiskImage::FileReaderThread()
{
    uint64_t r = m_nTotal;
    m_dwFileStartTick = m_run.Tick();
    const uint64_t nUnit = m_nAgreement > 0 ? uint64_t{CDriveBlockReader::UNSTABLE_BLOCK} : BLOCK_SIZE;
    bool bFailed = false;
    bool bReadOn = true;  // the image did not end, and some comparer still takes data
    while (r > 0 && !m_run.Stopped()) {
        const auto nLength = static_cast<uint32_t>(std::min(r, nUnit));
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock) {
            bFailed = true;  // only an aborted pool gives no block
            break;
        }
        uint32_t nGot = 0;
        if (!m_imageFile.ReadBlock(pBlock, nLength, nGot, m_run.StopFlag())) {
            m_dwFileError = m_imageFile.LastError();
            m_pBuffer->Free(pBlock);
            bFailed = true;
            break;
        }
        const uint64_t nDone = m_nTotal - r + nGot;
        m_dFileSpeed = StageSpeed(m_dFileSpeed, nDone, m_dwFileStartTick, m_run.Tick());
        const bool bAccepted = HandToComparers(pBlock, nGot);
        m_pBuffer->Free(pBlock);
        // An empty block marks the end of the image; when no comparer takes
        // data any more, their verdicts decide the run.
        bReadOn = nGot > 0 && bAccepted;
        r = bReadOn ? r - nGot : 0;
        m_nFileRemain = r;
    }
    if (!bFailed && !m_run.Stopped() && bReadOn && !ReadImageTail()) bFailed = true;
    if (bFailed) m_run.Stop();
    m_bFileReadOk = r == 0 && !m_run.Stopped();
    m_dFileSpeed = 0.0;
}

// The image is read on past the comparison length to its end: a
// compressed image's end is checked there, and the comparers learn
// whether the image holds more than they compared. Skipped when no
// comparer is left to care.
bool CCompareDiskImage::ReadImageTail()
{
    const bool bAnyLeft =
        std::any_of(m_slots.begin(), m_slots.end(), [](const T_SLOT& s) { return s.bActive && !s.bFailed; });
    if (!bAnyLeft || m_imageFile.ReadTail(m_nTotal, m_tail, m_run.StopFlag())) return true;
    m_dwFileError = m_imageFile.LastError();
    return false;
}

// Puts the block, with one reference each, into the file queue of every
// slot whose comparer is still taking data. A comparer that has ended, or
// refuses the block, gets no more blocks: its queue is aborted. A slot
// whose drive reader gave up still gets blocks until its comparer has
// seen that: the comparer may be waiting for the file block of a drive
// block it already holds. False when no comparer took the block.
bool CCompareDiskImage::HandToComparers(uint8_t* pBlock, uint32_t nGot)
{
    bool bAccepted = false;
    for (T_SLOT& s : m_slots) {
        if (!s.bActive || s.bFailed || (s.pComparer.load() && s.pComparer.load()->bDone)) continue;
        m_pBuffer->AddRef(pBlock);
        if (s.pFileQueue->Put(pBlock, nGot)) {
            bAccepted = true;
        } else {
            m_pBuffer->Free(pBlock);
        }
    }
    return bAccepted;
}

void CCompareDiskImage::DiskReaderThread(T_SLOT& s)
{
    uint64_t p = 0;
    uint64_t r = m_nTotal;
    s.dwStartTick = m_run.Tick();
    auto fnStop = [&] { return m_run.Stopped() || s.bReadFailed || s.bFailed; };
    CDriveBlockReader drive(*s.hDisk, m_nAgreement, s.strName + " - ", fnStop);
    while (r > 0 && !fnStop()) {
        const uint32_t nRequest = drive.RequestLength(r, BLOCK_SIZE);
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock && m_run.Stopped()) break;
        uint32_t nGot = 0;
        const CDriveBlockReader::EResult eRead = drive.Read(pBlock, p, nRequest, nGot);
        s.dwError = drive.LastError();
        if (eRead == CDriveBlockReader::EResult::GaveUp || eRead == CDriveBlockReader::EResult::Stopped) {
            if (pBlock) m_pBuffer->Free(pBlock);
            if (eRead == CDriveBlockReader::EResult::GaveUp) {
                s.bReadFailed = true;
                s.pDiskQueue->Abort();  // wakes the comparer, which fails the slot
            }
            break;
        }
        // A medium that ends early sends the end-of-data item (0 bytes).
        if (eRead == CDriveBlockReader::EResult::EndOfMedium) r = 0;
        s.dSpeed = StageSpeed(s.dSpeed, p + nGot, s.dwStartTick, m_run.Tick());
        if (!s.pDiskQueue->Put(pBlock, nGot)) {
            // The comparer has stopped taking data: it gives the verdict.
            m_pBuffer->Free(pBlock);
            r = 0;
            break;
        }
        r -= nGot;
        p += nGot;
        s.nReadRemain = r;
    }
    s.nReadRemain = r;
    s.bReadOk = r == 0 && !s.bReadFailed;
    s.dSpeed = 0.0;
}
