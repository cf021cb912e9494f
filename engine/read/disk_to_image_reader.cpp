// The drive reader: fills pool blocks from the drive, retrying a block that
// fails, and in the unstable-media mode reading each 4096-byte block until
// enough consecutive reads agree. Every block goes to the image writer and
// to the digest thread.
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/tick.h"
#include "engine/read/disk_to_image.h"
#include "engine/blockio/drive_block_reader.h"

void CDiskToImage::ReaderThread()
{
    uint64_t p = 0;
    uint64_t r = m_nTotal;
    m_reader.dwStartTick = GetTickCountMs();
    CDriveBlockReader drive(*m_hDisk, m_nAgreement, std::string(), [this] { return m_bAbort.load(); });
    while (!m_bAbort && r > 0) {
        const uint32_t nRequest = drive.RequestLength(r, m_nBlockSize);
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock && m_bAbort) break;
        uint32_t nGot = 0;
        const CDriveBlockReader::EResult eRead = drive.Read(pBlock, p, nRequest, nGot);
        m_reader.dwError = drive.LastError();
        if (eRead == CDriveBlockReader::EResult::GaveUp || eRead == CDriveBlockReader::EResult::Stopped) {
            if (pBlock) m_pBuffer->Free(pBlock);
            if (eRead == CDriveBlockReader::EResult::GaveUp) SetAbort();
            break;
        }
        if (eRead == CDriveBlockReader::EResult::EndOfMedium) {
            LogWarning("the drive ended at %I64u bytes, before its reported size of %I64u bytes.\n", p, m_nTotal);
            r = 0;
        }
        m_reader.dSpeed = StageSpeed(m_reader.dSpeed, p + nGot, m_reader.dwStartTick, GetTickCountMs());
        if (!HandOut(pBlock, nGot)) break;
        r -= nGot;
        p += nGot;
        m_reader.nRemain = r;
    }
    if (r == 0) m_reader.bSuccess = true;
    StageFinished(m_reader);
}

// Gives the block to the image writer and to the digest thread, one
// reference each. False (and the job stopped) when a queue refused it.
bool CDiskToImage::HandOut(uint8_t* pBlock, uint32_t nGot)
{
    m_pBuffer->AddRef(pBlock);
    if (!m_pWriteQueue->Put(pBlock, nGot)) {
        m_pBuffer->Free(pBlock);
        m_pBuffer->Free(pBlock);
        SetAbort();
        return false;
    }
    if (!m_pDigestQueue->Put(pBlock, nGot)) {
        m_pBuffer->Free(pBlock);
        SetAbort();
        return false;
    }
    return true;
}
