// The comparer of one slot: takes one block from the drive's queue and the
// block at the same offset from the image's queue and compares them. A
// block that differs is walked in 512-byte sectors; each differing sector
// is logged as a range, and the slot stops at the mismatch limit. A slot
// that ends without comparing the whole length posts the failure message
// with its row; a drive compared to the end with differences does not.
#include <algorithm>
#include <cstring>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/format.h"
#include "engine/core/log.h"

namespace {
constexpr uint64_t SECTOR = 512;
}

void CCompareDiskImage::ComparerThread(T_SLOT& s)
{
    uint64_t p = 0;  // bytes compared
    uint64_t r = m_nTotal;
    uint32_t m = 0;  // differing sectors
    ESlotVerdict eFailure = ESlotVerdict::NotRun;  // why the slot failed; NotRun while it has not
    while (r > 0 && !m_run.Stopped() && !s.bFailed) {
        uint8_t* pDisk = nullptr;
        uint8_t* pFile = nullptr;
        uint64_t a = 0;
        uint64_t b = 0;
        if (!TakePair(s, pDisk, a, pFile, b)) break;
        bool bEnd = false;
        if (a != b && !m_bCommonLength) {
            if (b < a) {
                LogError("%s - the image's data end at %I64u bytes; the drive has %I64u bytes.\n", s.strName, p + b,
                         s.nDiskSize);
            } else {
                LogError("%s - disk/file read count mismatch %08X:%08X.\n", s.strName, a, b);
            }
            eFailure = ESlotVerdict::Differs;
        } else if (a == 0 || b == 0) {
            bEnd = true;  // the data ended on one side: what both had is compared
        } else {
            const uint64_t n = std::min(a, b);
            if (!CompareSectors(s, pDisk, pFile, n, p, m)) eFailure = ESlotVerdict::Differs;
            p += n;
        }
        m_pBuffer->Free(pDisk);
        m_pBuffer->Free(pFile);
        if (eFailure != ESlotVerdict::NotRun) break;
        r = bEnd ? 0 : r - std::min(r, a);
        s.nRemain = r;
    }
    bool bComplete = r == 0 && eFailure == ESlotVerdict::NotRun && !s.bFailed;
    if (bComplete && !CheckImageTail(s)) {
        bComplete = false;
        if (!m_run.Stopped() && m_bFileReadOk) eFailure = ESlotVerdict::Differs;
    }
    if (!bComplete) s.bFailed = true;  // neither reader serves this slot any more
    CloseQueues(s);
    s.nChecked = p;
    if (bComplete) {
        s.eVerdict = m == 0 ? ESlotVerdict::Ok : ESlotVerdict::Differs;
        LogInfo("%s - %I64u bytes checked.\n", s.strName, p);
    } else {
        // Without a cause of its own the slot ended with its reader or the run.
        if (eFailure == ESlotVerdict::NotRun) {
            eFailure = s.bReadFailed ? ESlotVerdict::ReadFailed : ESlotVerdict::Stopped;
        }
        s.eVerdict = eFailure;
        m_run.PostFailure(s.nRow);
    }
}

// Once the whole length is compared, the image must not hold more than
// that: past the drive's end it may hold zeros, and the force-verify option
// asks to compare only what both have. A drive longer than the length
// compared (another drive is shorter) has not been compared over all of
// the image. Waits for the image-file reader, which reads the image to
// its end (and checks that end); false when it failed or the run stops.
bool CCompareDiskImage::CheckImageTail(T_SLOT& s)
{
    if (!m_pFileReader || !m_run.WaitFor(*m_pFileReader) || !m_bFileReadOk) return false;
    const T_IMAGE_TAIL& tail = m_tail;
    if (tail.nBytes == 0) return true;
    const bool bDriveEnd = s.nDiskSize == m_nTotal;
    if (bDriveEnd && tail.bAllZero) {
        LogWarning("%s - the image's last %I64u bytes, past the drive's end, are all zero.\n", s.strName,
                   tail.nBytes);
        return true;
    }
    const std::string strEnd =
        bDriveEnd ? std::string("the drive's end") : FormatText("the %I64u bytes compared", m_nTotal);
    if (m_job.options.bForceVerify) {
        LogWarning("%s - the image goes on %I64u bytes past %s; those bytes were not compared.\n", s.strName,
                   tail.nBytes, strEnd);
        return true;
    }
    LogError("%s - the image's data go on %I64u bytes past %s%s.\n", s.strName, tail.nBytes, strEnd,
             tail.bAllZero ? "" : ", not all zero");
    return false;
}

// The slot's next drive block (a bytes) and file block (b bytes). False,
// with nothing held, when either side has none: its queue was aborted or
// it sent a null block.
bool CCompareDiskImage::TakePair(T_SLOT& s, uint8_t*& pDisk, uint64_t& a, uint8_t*& pFile, uint64_t& b)
{
    if (!s.pDiskQueue->Get(pDisk, a) || !pDisk) return false;
    if (s.pFileQueue->Get(pFile, b) && pFile) return true;
    m_pBuffer->Free(pDisk);
    return false;
}

// Compares nLength bytes at drive offset nPos, one memory comparison for
// the whole block first. m counts the slot's differing sectors; false when
// it reached the mismatch limit, which fails the slot.
bool CCompareDiskImage::CompareSectors(T_SLOT& s, const uint8_t* pDisk, const uint8_t* pFile, uint64_t nLength,
                                       uint64_t nPos, uint32_t& m)
{
    if (std::memcmp(pDisk, pFile, nLength) == 0) return true;
    if (m == 0) LogWarning("%s - compare mismatch\n", s.strName);
    for (uint64_t nOff = 0; nOff < nLength; nOff += SECTOR) {
        const uint64_t n = std::min(SECTOR, nLength - nOff);  // the last sector of an odd length is shorter
        if (std::memcmp(pDisk + nOff, pFile + nOff, n) == 0) continue;
        LogWarning("%s - %08I64X-%08I64X\n", s.strName, nPos + nOff, nPos + nOff + n - 1);
        if (++m < m_job.nMismatchLimit) continue;
        LogError(m == 1 ? "%s - verify failed.\n" : "%s - too many mismatch.\n", s.strName);
        return false;
    }
    return true;
}

// Gives back every block still queued for this comparer, then refuses more,
// so that no reader waits for a comparer that has ended. A block put in
// between stays in the queue until the pool goes at the end of the run;
// each reader looks at the slot's flags before every block, so there is
// at most one such block per queue.
void CCompareDiskImage::CloseQueues(T_SLOT& s)
{
    for (CQueue* pQueue : {s.pDiskQueue, s.pFileQueue}) {
        uint8_t* pData = nullptr;
        uint64_t nCount = 0;
        while (pQueue->TryGet(pData, nCount)) {
            if (pData) m_pBuffer->Free(pData);
        }
        pQueue->Abort();
    }
}
