// The drive reader: fills pool blocks from the drive, retrying a block that
// fails, and in the unstable-media mode reading each 4096-byte block until
// enough consecutive reads agree. Every block goes to the image writer and
// to the digest thread.
#include <algorithm>
#include <cstring>

#include "engine/read/disk_to_image.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/core/tick.h"

namespace {
constexpr uint32_t UNSTABLE_BLOCK = 4096;
constexpr int RETRY_LIMIT = 10;  // a block is given up after more than 10 counted reads
}  // namespace

// The reference read that later reads of a block must agree with.
struct CDiskToImage::T_AGREEMENT {
    std::unique_ptr<uint8_t[]> pReference;
    uint32_t nLength = 0;
    int nAgree = 0;  // consecutive reads equal to the reference so far
};

void CDiskToImage::ReaderThread()
{
    uint64_t p = 0;
    uint64_t r = m_nTotal;
    m_reader.dwStartTick = GetTickCountMs();
    T_AGREEMENT agreement;
    if (m_nAgreement > 0) agreement.pReference = std::make_unique<uint8_t[]>(UNSTABLE_BLOCK);
    const uint64_t nUnit = m_nAgreement > 0 ? UNSTABLE_BLOCK : m_nBlockSize;

    while (!m_bAbort && r > 0) {
        const uint32_t nRequest = static_cast<uint32_t>(std::min(r, nUnit));
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock && m_bAbort) break;
        uint32_t nGot = 0;
        if (!ReadBlock(pBlock, p, nRequest, m_nTotal - r, agreement, nGot)) {
            if (pBlock) m_pBuffer->Free(pBlock);
            break;
        }
        if (nGot == 0) {
            LogWarning("the drive ended at %I64u bytes, before its reported size of %I64u bytes.\n", p, m_nTotal);
            r = 0;
        }
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
bool CDiskToImage::ReadBlock(uint8_t* pBlock, uint64_t nPos, uint32_t nRequest, uint64_t nDoneBefore,
                             T_AGREEMENT& agreement, uint32_t& nGot)
{
    int nAttempts = 0;
    agreement.nAgree = 0;
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
            m_reader.dSpeed = StageSpeed(m_reader.dSpeed, nDoneBefore + nGot, m_reader.dwStartTick, GetTickCountMs());
            if (m_nAgreement == 0 || AgreeOnRead(pBlock, nGot, nPos, agreement)) break;
        } else {
            m_reader.dwError = res.nError;
            LogWarning("disk read error (%08I64X-%08I64X).\n%s\n", nPos, nPos + nRequest - 1,
                       GetSystemErrorText(res.nError));
            agreement.nAgree = 0;
        }
        if (++nAttempts > m_nAgreement + RETRY_LIMIT || m_bAbort) break;
    }
    if (m_bAbort) return false;
    if (nAttempts > RETRY_LIMIT) {
        LogError("disk read retry out.\n");
        SetAbort();
        return false;
    }
    return true;
}

// One more read of a block in the unstable-media mode: true once the last
// m_nAgreement reads returned identical data.
bool CDiskToImage::AgreeOnRead(const uint8_t* pBlock, uint32_t nGot, uint64_t nPos, T_AGREEMENT& agreement)
{
    if (agreement.nAgree == 0) {
        std::memcpy(agreement.pReference.get(), pBlock, nGot);
        agreement.nLength = nGot;
        agreement.nAgree = 1;
    } else if (nGot != agreement.nLength || std::memcmp(agreement.pReference.get(), pBlock, nGot) != 0) {
        LogWarning("disk read unstable (%08I64X-%08I64X).\n", nPos, nPos + nGot - 1);
        agreement.nAgree = 0;
    } else {
        ++agreement.nAgree;
    }
    return agreement.nAgree >= m_nAgreement;
}
