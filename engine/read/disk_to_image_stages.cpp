// The three stages of a read.
//
// The drive reader fills pool blocks from the drive, retrying a block that
// fails, and in the unstable-media mode reading each 4096-byte block until
// enough consecutive reads agree. Every block goes to the image writer and
// to the digest thread, one reference each. A block given up ends the read;
// what was read before it still reaches the image.
//
// The digest thread feeds the same blocks to MD5. A digest the platform
// refuses to compute fails the job at once: a read whose digest is missing
// is not a good read.
//
// The image writer writes each block at its offset of a raw image file, or
// into the compressed stream (gzip or zstd) of a compressed one. A raw write that stores
// part of a block carries on with the rest; a write that fails is tried
// again, 11 failed tries in all for a block, except when the file system
// has no room left, which no retry can change.
#include "engine/blockio/drive_block_reader.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/read/disk_to_image.h"

namespace {
constexpr int WRITE_ATTEMPTS = 11;
}

void CDiskToImage::ReaderThread()
{
    uint64_t p = 0;
    uint64_t r = m_nTotal;
    m_reader.dwStartTick = m_run.Tick();
    CDriveBlockReader drive(*m_hDisk, m_nAgreement, std::string(), [this] { return m_run.Stopped(); });
    while (!m_run.Stopped() && r > 0) {
        const uint32_t nRequest = drive.RequestLength(r, BLOCK_SIZE);
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock && m_run.Stopped()) break;
        uint32_t nGot = 0;
        const CDriveBlockReader::EResult eRead = drive.Read(pBlock, p, nRequest, nGot);
        m_reader.dwError = drive.LastError();
        if (eRead == CDriveBlockReader::EResult::GaveUp || eRead == CDriveBlockReader::EResult::Stopped) {
            if (pBlock) m_pBuffer->Free(pBlock);
            if (eRead == CDriveBlockReader::EResult::GaveUp) {
                m_bReadGaveUp = true;
                EndConsumersShort();
            }
            break;
        }
        if (eRead == CDriveBlockReader::EResult::EndOfMedium) {
            LogWarning("the drive ended at %I64u bytes, before its reported size of %I64u bytes.\n", p, m_nTotal);
            r = 0;
        }
        m_reader.dSpeed = StageSpeed(m_reader.dSpeed, p + nGot, m_reader.dwStartTick, m_run.Tick());
        if (!HandOut(pBlock, nGot)) break;
        r -= nGot;
        p += nGot;
        m_reader.nRemain = r;
    }
    if (r == 0) m_reader.bSuccess = true;
    m_reader.dSpeed = 0.0;
}

// False (and the job stopped) when a queue refused the block.
bool CDiskToImage::HandOut(uint8_t* pBlock, uint32_t nGot)
{
    m_pBuffer->AddRef(pBlock);
    if (!m_pWriteQueue->Put(pBlock, nGot)) {
        m_pBuffer->Free(pBlock);
        m_pBuffer->Free(pBlock);
        m_run.Stop();
        return false;
    }
    if (!m_pDigestQueue->Put(pBlock, nGot)) {
        m_pBuffer->Free(pBlock);
        m_run.Stop();
        return false;
    }
    return true;
}

// After a block was given up: the writer and the digest thread take every
// block handed so far, then a null block ends them short of the drive's
// end, so the image keeps all that was read before the block given up.
void CDiskToImage::EndConsumersShort()
{
    if (!m_pWriteQueue->Put(nullptr, 0) || !m_pDigestQueue->Put(nullptr, 0)) m_run.Stop();
}

// A consumer's next block. False ends the consumer: the queue failed or
// gave a null block, or the drive ended early (an item of 0 bytes, after
// which the stage's remaining count is 0: everything the drive had has
// come through).
bool CDiskToImage::TakeBlock(CQueue& queue, T_STAGE& stage, uint8_t*& pData, uint64_t& nCount, uint64_t& nRemain)
{
    if (!queue.Get(pData, nCount) || !pData) return false;
    if (nCount > 0) return true;
    m_pBuffer->Free(pData);
    nRemain = 0;
    stage.nRemain = 0;
    return false;
}

void CDiskToImage::DigestThread()
{
    uint64_t r = m_nTotal;
    m_digestStage.dwStartTick = m_run.Tick();
    CMd5 md5;
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    while (md5.IsValid() && !m_run.Stopped() && r > 0 && TakeBlock(*m_pDigestQueue, m_digestStage, pData, nCount, r)) {
        md5.Update(pData, static_cast<size_t>(nCount));
        m_pBuffer->Free(pData);
        r -= nCount;
        m_digestStage.nRemain = r;
        m_digestStage.dSpeed =
            StageSpeed(m_digestStage.dSpeed, m_nTotal - r, m_digestStage.dwStartTick, m_run.Tick());
    }
    m_digest = md5.Final();
    if (!md5.IsValid()) {
        LogError("the MD5 digest could not be computed.\n");
        m_run.Stop();
    } else if (r == 0) {
        m_bDigestValid = true;
        m_digestStage.bSuccess = true;
    }
    m_digestStage.dSpeed = 0.0;
}

void CDiskToImage::WriterThread()
{
    uint64_t p = 0;
    uint64_t r = m_nTotal;
    m_writer.dwStartTick = m_run.Tick();
    const bool bCompress = IsCompressedFormat(m_eFormat);
    if (bCompress) StartCompressed();
    bool bCommitted = false;
    bool bFailed = false;
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    while (!m_run.Stopped() && r > 0 && TakeBlock(*m_pWriteQueue, m_writer, pData, nCount, r)) {
        const auto n = static_cast<uint32_t>(nCount);
        bCommitted = bCompress && r <= nCount;
        const bool bWritten = CutReplacedImage() && (bCompress ? WriteCompressedBlock(pData, p, n, bCommitted)
                                                               : WriteRawBlock(pData, p, n, m_nTotal - r));
        m_pBuffer->Free(pData);
        if (!bWritten) {
            bFailed = true;
            m_run.Stop();
            break;
        }
        r -= nCount;
        p += nCount;
        m_nImageBytes = p;
        m_writer.nRemain = r;
    }
    // A drive of 0 bytes read in full replaces an old image with nothing.
    bool bComplete = r == 0 && !m_run.Stopped() && CutReplacedImage();
    if (bCompress) bComplete = EndCompressed(bComplete, bCommitted, bFailed, p) && bComplete;
    if (FlushImage() && bComplete) m_writer.bSuccess = true;
    m_writer.dSpeed = 0.0;
}

// Writes one block whole. False when the block could not be stored (the
// cause is logged) or the job is stopping (nothing to log: no write failed).
bool CDiskToImage::WriteRawBlock(const uint8_t* pData, uint64_t nPos, uint32_t nCount, uint64_t nDoneBefore)
{
    uint32_t nDone = 0;
    int nFailed = 0;
    while (nDone < nCount && !m_run.Stopped()) {
        const T_IO_RESULT res = m_hImage->WriteAt(nPos + nDone, pData + nDone, nCount - nDone);
        if (res.bOk && res.nCount > 0) {
            nDone += res.nCount;
            m_nImageBytes = nPos + nDone;
            m_writer.dSpeed = StageSpeed(m_writer.dSpeed, nDoneBefore + nDone, m_writer.dwStartTick, m_run.Tick());
            continue;
        }
        if (!res.bOk) m_writer.dwError = res.nError;
        if (!res.bOk && SystemError::IsNoRoom(res.nError)) {
            LogError("no room for the image %s; it holds %I64u bytes.\n%s\n", m_job.strImage, nPos + nDone,
                     GetSystemErrorText(res.nError));
            return false;
        }
        if (res.bOk) {
            LogWarning("write count mismatch %08X:%08X.\n", nCount - nDone, res.nCount);
        } else {
            LogWarning("file write error (%08I64X-%08I64X).\n%s\n", nPos + nDone, nPos + nCount - 1,
                       GetSystemErrorText(res.nError));
        }
        if (++nFailed >= WRITE_ATTEMPTS) {
            LogError("file write retry out.\n");
            return false;
        }
    }
    return nDone == nCount;
}

// Every way out of the writer flushes the image: data the system only
// holds in memory are not stored, and a flush that fails says so.
bool CDiskToImage::FlushImage()
{
    uint32_t nError = 0;
    if (m_hImage->Flush(nError)) return true;
    m_writer.dwError = nError;
    LogError("file flush error.\n%s\n", GetSystemErrorText(nError));
    return false;
}
