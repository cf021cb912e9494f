// The image-file reader: reads the image once, in blocks that pair with the
// drive readers' blocks (1 MiB, or 4096 bytes in the unstable-media mode),
// and hands each block by reference to every comparer still taking data.
// A block it cannot read ends the whole run; the reader has logged why.
#include <algorithm>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/progress.h"
#include "engine/core/tick.h"
#include "engine/blockio/drive_block_reader.h"

void CCompareDiskImage::FileReaderThread()
{
    uint64_t r = m_nTotal;
    m_fileRead.dwStartTick = GetTickCountMs();
    const uint64_t nUnit = m_nAgreement > 0 ? uint64_t{CDriveBlockReader::UNSTABLE_BLOCK} : m_nBlockSize;
    bool bTaking[MAX_DRIVES];
    for (size_t i = 0; i < MAX_DRIVES; ++i) bTaking[i] = m_compTask[i].bActive;
    bool bFailed = false;
    bool bReadOn = true;  // the image did not end, and some comparer still takes data
    while (r > 0 && !m_bAbort) {
        const uint32_t nLength = static_cast<uint32_t>(std::min(r, nUnit));
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock) {
            bFailed = true;  // only an aborted pool gives no block
            break;
        }
        uint32_t nGot = 0;
        if (!m_imageFile.ReadBlock(pBlock, nLength, nGot, m_bAbort)) {
            m_fileRead.dwError = m_imageFile.LastError();
            m_pBuffer->Free(pBlock);
            bFailed = true;
            break;
        }
        const uint64_t nDone = m_nTotal - r + nGot;
        m_fileRead.dSpeed = StageSpeed(m_fileRead.dSpeed, nDone, m_fileRead.dwStartTick, GetTickCountMs());
        const bool bAccepted = HandToComparers(pBlock, nGot, bTaking);
        m_pBuffer->Free(pBlock);
        // An empty block marks the end of the image; when no comparer takes
        // data any more, their verdicts decide the run.
        bReadOn = nGot > 0 && bAccepted;
        r = bReadOn ? r - nGot : 0;
        m_fileRead.nRemain = r;
    }
    if (!bFailed && !m_bAbort && bReadOn && !ReadImageTail()) bFailed = true;
    if (bFailed) SetAbort();
    m_fileRead.bSuccess = r == 0 && !m_bAbort;
    m_fileRead.dSpeed = 0.0;
    FinishStage(m_fileRead.bDone);
}

// The image is read on past the comparison length to its end: a
// compressed image's end is checked there, and the comparers learn
// whether the image holds more than they compared. Skipped when no
// comparer is left to care.
bool CCompareDiskImage::ReadImageTail()
{
    bool bAnyLeft = false;
    for (const T_COMPTASK_INFO& task : m_compTask) bAnyLeft = bAnyLeft || (task.bActive && !task.bFailed);
    if (!bAnyLeft || m_imageFile.ReadTail(m_nTotal, m_fileRead.tail, m_bAbort)) return true;
    m_fileRead.dwError = m_imageFile.LastError();
    return false;
}

// Puts the block, with one reference each, into the file queue of every
// slot whose comparer is still taking data. A comparer that has ended, or
// refuses the block, gets no more blocks. A slot whose drive reader gave up
// still gets blocks until its comparer has seen that: the comparer may be
// waiting for the file block of a drive block it already holds. False when
// no comparer took the block.
bool CCompareDiskImage::HandToComparers(uint8_t* pBlock, uint32_t nGot, bool (&bTaking)[MAX_DRIVES])
{
    bool bAccepted = false;
    for (size_t i = 0; i < MAX_DRIVES; ++i) {
        T_COMPTASK_INFO& task = m_compTask[i];
        if (bTaking[i] && (task.bFailed || task.bDone)) bTaking[i] = false;
        if (!bTaking[i]) continue;
        m_pBuffer->AddRef(pBlock);
        if (task.m_pFileQueue->Put(pBlock, nGot)) {
            bAccepted = true;
        } else {
            m_pBuffer->Free(pBlock);
            bTaking[i] = false;
        }
    }
    return bAccepted;
}
