// The image writer: writes each block at its offset of a raw image file, or
// into the compressed stream of a compressed one. A raw write that stores
// part of a block carries on with the rest; a write that fails is tried
// again, 11 failed tries in all for a block, except when the file system
// has no room left, which no retry can change.
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/core/tick.h"
#include "engine/read/disk_to_image.h"

namespace {
constexpr int WRITE_ATTEMPTS = 11;
}

void CDiskToImage::WriterThread()
{
    uint64_t p = 0;
    uint64_t r = m_nTotal;
    m_writer.dwStartTick = GetTickCountMs();
    const bool bCompress = g_bOptCompressImage;
    if (bCompress) StartCompressed();
    bool bCommitted = false;
    bool bFailed = false;
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    while (!m_bAbort && r > 0 && TakeBlock(*m_pWriteQueue, m_writer, pData, nCount, r)) {
        const uint32_t n = static_cast<uint32_t>(nCount);
        bCommitted = bCompress && r <= nCount;
        const bool bWritten = CutReplacedImage() && (bCompress ? WriteCompressedBlock(pData, p, n, bCommitted)
                                                               : WriteRawBlock(pData, p, n, m_nTotal - r));
        m_pBuffer->Free(pData);
        if (!bWritten) {
            bFailed = true;
            SetAbort();
            break;
        }
        r -= nCount;
        p += nCount;
        m_nImageBytes = p;
        m_writer.nRemain = r;
    }
    // A drive of 0 bytes read in full replaces an old image with nothing.
    bool bComplete = r == 0 && !m_bAbort && CutReplacedImage();
    if (bCompress) bComplete = EndCompressed(bComplete, bCommitted, bFailed, p) && bComplete;
    if (FlushImage() && bComplete) m_writer.bSuccess = true;
    StageFinished(m_writer);
}

// Writes one block whole. False when the block could not be stored (the
// cause is logged) or the job is stopping (nothing to log: no write failed).
bool CDiskToImage::WriteRawBlock(const uint8_t* pData, uint64_t nPos, uint32_t nCount, uint64_t nDoneBefore)
{
    uint32_t nDone = 0;
    int nFailed = 0;
    while (nDone < nCount && !m_bAbort) {
        const T_IO_RESULT res = m_hImage->WriteAt(nPos + nDone, pData + nDone, nCount - nDone);
        if (res.bOk && res.nCount > 0) {
            nDone += res.nCount;
            m_nImageBytes = nPos + nDone;
            m_writer.dSpeed =
                StageSpeed(m_writer.dSpeed, nDoneBefore + nDone, m_writer.dwStartTick, GetTickCountMs());
            continue;
        }
        if (!res.bOk) m_writer.dwError = res.nError;
        if (!res.bOk && SystemError::IsNoRoom(res.nError)) {
            LogError("no room for the image %s; it holds %I64u bytes.\n%s\n", m_strImagePath, nPos + nDone,
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
