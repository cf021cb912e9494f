// The image reader: reads the image once, in order, and hands every block
// by reference to each writer that still takes blocks. With the MD5 check
// it also computes the digest of exactly the data it handed out; the
// image's own digests, when asked for, are fed and ended here.
#include <algorithm>

#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/write/image_to_disk.h"

void CImageToDisk::ImageReaderThread()
{
    const bool bMd5Check = m_job.options.bMD5Verify;
    const uint32_t dwStart = m_run.Tick();
    CMd5 md5;
    uint64_t nPos = 0;
    uint64_t nRemain = m_nTotal;
    bool bEndedEarly = false;
    while (nRemain > 0 && !m_run.Stopped()) {
        const auto nLength = static_cast<uint32_t>(std::min(BLOCK_SIZE, nRemain));
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock) break;  // only a pool aborted by a stopping run gives none
        uint32_t nGot = 0;
        if (!m_image.ReadBlock(pBlock, nLength, nGot, m_run.StopFlag())) {
            // The image reader logged its give-up line; a stop logs nothing.
            m_pBuffer->Free(pBlock);
            m_dwReaderError = m_image.LastError();
            m_run.Stop();
            break;
        }
        bEndedEarly = nGot == 0;
        if (bEndedEarly) ReportEarlyEnd(nPos);
        m_dReaderSpeed = StageSpeed(m_dReaderSpeed, nPos + nGot, dwStart, m_run.Tick());
        const bool bTaken = HandOut(pBlock, nGot);
        if (bMd5Check) md5.Update(pBlock, nGot);
        FeedDataDigest(pBlock, nGot);
        m_pBuffer->Free(pBlock);
        if (!bTaken) break;
        nRemain = bEndedEarly ? 0 : nRemain - nGot;
        nPos += nGot;
        m_nReaderRemain = nRemain;
    }
    EmptyStoppedQueues();
    bool bWhole = nRemain == 0 && !m_run.Stopped();
    if (bWhole && ImageIsCompressed(m_job.options) && !bEndedEarly) bWhole = CheckImageEnd();
    m_bReaderResult = bWhole && !m_run.Stopped();
    if (bMd5Check && m_bReaderResult) FinishImageDigest(md5);
    const bool bZeroTail = m_imageTail.bAllZero;
    EndDataDigest(m_bReaderResult && bZeroTail, bZeroTail ? m_imageTail.nBytes : 0);
    if (m_bReaderResult) ReadRestForFileDigest();
    m_image.Close();
    FinishFileDigest();
    m_dReaderSpeed = 0.0;
}

// One reference per writer that takes the block. A slot that stopped taking
// blocks gets none, and whatever still waits in its queue goes back to the
// pool. False (and the run stopped) when no writer took the block.
bool CImageToDisk::HandOut(uint8_t* pBlock, uint32_t nGot)
{
    bool bTaken = false;
    for (T_SLOT& t : m_slots) {
        if (!t.bActive) continue;
        if (t.bStopped) {
            EmptyQueue(t);
            continue;
        }
        m_pBuffer->AddRef(pBlock);
        if (t.pQueue->Put(pBlock, nGot)) {
            bTaken = true;
            continue;
        }
        m_pBuffer->Free(pBlock);  // the queue was aborted
        t.bStopped = true;
    }
    if (!bTaken) m_run.Stop();
    return bTaken;
}

// A writer that stops empties its queue, but a block the reader was just
// putting can land behind that; the reader empties the queue again on its
// next block and when it ends, so no block stays out of the pool.
void CImageToDisk::EmptyStoppedQueues()
{
    for (T_SLOT& t : m_slots) {
        if (t.bActive && t.bStopped) EmptyQueue(t);
    }
}

void CImageToDisk::EmptyQueue(T_SLOT& t)
{
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    while (t.pQueue->TryGet(pData, nCount)) {
        if (pData) m_pBuffer->Free(pData);
    }
}

// The image data ended before the length to write. A compressed image's
// length shows only now: each writer then keeps what it has when the
// force-write option is on and fails otherwise. A raw image shorter than
// it was when measured has changed under the job.
void CImageToDisk::ReportEarlyEnd(uint64_t nPos)
{
    if (!ImageIsCompressed(m_job.options)) {
        LogError("the image file ended at %I64u bytes, before the %I64u bytes to write.\n", nPos, m_nTotal);
        return;
    }
    LogPost(m_job.options.bForceWrite ? LOG_STYLE_FORCED : LOG_STYLE_ERROR, "image size mismatch.\n");
    LogInfo("  image data size=%I64u bytes.\n", nPos);
}

// After the whole length of a compressed image the rest of it is read to
// the stream's end: that checks its trailer (CRC-32, length, nothing
// after it), and tells whether the image goes on past what the targets
// hold. A damaged stream stops the run. Anything past the targets' end
// fails the job unless the force-write option is on, except zeros past the
// end of targets all of one size: nothing is lost when they are left out.
bool CImageToDisk::CheckImageEnd()
{
    T_IMAGE_TAIL& tail = m_imageTail;
    if (!m_image.ReadTail(m_nTotal, tail, m_run.StopFlag())) {
        m_dwReaderError = m_image.LastError();
        m_run.Stop();
        return false;
    }
    if (tail.nBytes == 0) return true;
    if (tail.bAllZero && m_bOneSize) {
        LogWarning("the image's last %I64u bytes, past the %I64u written, are all zero; they are not written.\n",
                   tail.nBytes, m_nTotal);
        return true;
    }
    const uint16_t nStyle = m_job.options.bForceWrite ? LOG_STYLE_FORCED : LOG_STYLE_ERROR;
    LogPost(nStyle, "image file size too large.\n");
    if (tail.bAllZero) {
        LogPost(nStyle,
                "the image goes on past the %I64u bytes written with %I64u zero bytes, which the larger targets did "
                "not get.\n",
                m_nTotal, tail.nBytes);
    } else {
        LogPost(nStyle,
                "the image's data go on past the %I64u bytes written: %I64u more bytes, not all zero, did not fit.\n",
                m_nTotal, tail.nBytes);
    }
    return m_job.options.bForceWrite;
}

void CImageToDisk::FinishImageDigest(CMd5& md5)
{
    m_ImageMd5 = md5.Final();
    if (!md5.IsValid()) {
        LogError("the MD5 digest could not be computed.\n");
        return;
    }
    m_bImageMd5Valid = true;
    LogInfo("IMAGE MD5SUM=%s\n", DigestText(m_ImageMd5));
}
