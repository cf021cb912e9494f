// The drive reader: fills pool blocks from the drive, retrying a block that
// fails, and in the unstable-media mode reading each 4096-byte block until
// enough consecutive reads agree. Every block goes to the image writer and
// to the digest thread.
#include <algorithm>
#include <cstring>

#include "engine/disk_to_image.h"
#include "engine/log.h"
#include "engine/progress.h"
#include "engine/system_error.h"
#include "engine/tick.h"

namespace {
constexpr uint32_t UNSTABLE_BLOCK = 4096;
constexpr int RETRY_LIMIT = 10;  // a block is given up after more than 10 counted reads
}  // namespace

void CDiskToImage::ReaderThread()
{
    uint64_t p = 0;
    uint64_t r = m_nTotal;
    m_dwReaderStart = GetTickCountMs();
    if (m_nAgreement > 0) m_pReference = std::make_unique<uint8_t[]>(UNSTABLE_BLOCK);
    const uint64_t nUnit = m_nAgreement > 0 ? UNSTABLE_BLOCK : m_nBlockSize;

    while (!m_bAbort && r > 0) {
        const uint32_t nRequest = static_cast<uint32_t>(std::min(r, nUnit));
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock && m_bAbort) break;
        uint32_t nGot = 0;
        if (!ReadBlock(pBlock, p, nRequest, m_nTotal - r, nGot)) {
            if (pBlock) m_pBuffer->Free(pBlock);
            break;
        }
        if (nGot == 0) r = 0;  // the medium ended before its reported size
        m_pBuffer->AddRef(pBlock);
        if (!m_pWriteQueue->Put(pBlock, nGot)) {
            m_pBuffer->Free(pBlock);
            m_pBuffer->Free(pBlock);
            SetAbort();
            break;
        }
        if (!m_pDigestQueue->Put(pBlock, nGot)) {
            m_pBuffer->Free(pBlock);
            SetAbort();
            break;
        }
        r -= nGot;
        p += nGot;
        m_reader.nRemain = r;
    }
    if (r == 0) m_reader.bSuccess = true;
    StageFinished(m_reader);
}

// Reads one block into pBlock. False when the block was given up (after the
// retries, or because the job is stopping); nGot = 0 means the medium ended.
bool CDiskToImage::ReadBlock(uint8_t* pBlock, uint64_t nPos, uint32_t nRequest, uint64_t nDoneBefore, uint32_t& nGot)
{
    int nAttempts = 0;
    int nAgree = 0;
    for (;;) {
        // Without a block there is nothing to read into: the attempt fails.
        const T_IO_RESULT res =
            pBlock ? m_hDisk->ReadAt(nPos, pBlock, nRequest) : T_IO_RESULT{false, 0, SystemError::NoMemory()};
        if (res.bOk && res.nCount == 0) {
            nGot = 0;
            return true;
        }
        if (res.bOk) {
            nGot = res.nCount;
            m_reader.dSpeed = StageSpeed(m_reader.dSpeed, nDoneBefore + nGot, m_dwReaderStart, GetTickCountMs());
            if (m_nAgreement == 0 || AgreeOnRead(pBlock, nGot, nPos, nAgree)) break;
        } else {
            m_reader.dwError = res.nError;
            LogWarning("disk read error (%08I64X-%08I64X).\n%s\n", nPos, nPos + nRequest - 1,
                       GetSystemErrorText(res.nError));
            nAgree = 0;
        }
        if (++nAttempts > m_nAgreement + RETRY_LIMIT || m_bAbort) break;
    }
    if (m_bAbort) return false;
    if (nAttempts > RETRY_LIMIT) {
        m_pWriteQueue->Abort();
        LogError("disk read retry out.\n");
        SetAbort();
        return false;
    }
    return true;
}

// One more read of a block in the unstable-media mode: true once the last
// m_nAgreement reads returned identical data.
bool CDiskToImage::AgreeOnRead(const uint8_t* pBlock, uint32_t nGot, uint64_t nPos, int& nAgree)
{
    if (nAgree == 0) {
        std::memcpy(m_pReference.get(), pBlock, nGot);
        m_nReferenceLength = nGot;
        nAgree = 1;
    } else if (nGot != m_nReferenceLength || std::memcmp(m_pReference.get(), pBlock, nGot) != 0) {
        LogWarning("disk read unstable (%08I64X-%08I64X).\n", nPos, nPos + nGot - 1);
        nAgree = 0;
    } else {
        ++nAgree;
    }
    return nAgree >= m_nAgreement;
}
