// The image writer: writes each block at its offset of the image file,
// trying a block up to 11 times.
#include "engine/read/disk_to_image.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/system_error.h"
#include "engine/core/tick.h"

namespace {
constexpr int WRITE_ATTEMPTS = 11;
}

void CDiskToImage::WriterThread()
{
    uint64_t p = 0;
    uint64_t r = m_nTotal;
    m_writer.dwStartTick = GetTickCountMs();
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    while (!m_bAbort && r > 0 && TakeBlock(*m_pWriteQueue, pData, nCount, r)) {
        const bool bWritten = WriteRawBlock(pData, p, static_cast<uint32_t>(nCount), m_nTotal - r);
        m_pBuffer->Free(pData);
        if (!bWritten) {
            LogError("file write retry out.\n");
            SetAbort();
            break;
        }
        r -= nCount;
        p += nCount;
        m_nImageBytes = p;
        m_writer.nRemain = r;
    }
    uint32_t nError = 0;
    if (!m_hImage->Flush(nError)) {
        m_writer.dwError = nError;
        LogError("file flush error.\n%s\n", GetSystemErrorText(nError));
    } else if (r == 0 && !m_bAbort) {
        m_writer.bSuccess = true;
        LogInfo("%s - %I64u bytes dumped.\n", m_strDiskName, p);
    }
    StageFinished(m_writer);
}

bool CDiskToImage::WriteRawBlock(const uint8_t* pData, uint64_t nPos, uint32_t nCount, uint64_t nDoneBefore)
{
    for (int nAttempt = 0; nAttempt < WRITE_ATTEMPTS && !m_bAbort; ++nAttempt) {
        const T_IO_RESULT res = m_hImage->WriteAt(nPos, pData, nCount);
        if (!res.bOk) {
            m_writer.dwError = res.nError;
            LogWarning("file write error (%08I64X-%08I64X).\n%s\n", nPos, nPos + nCount - 1,
                       GetSystemErrorText(res.nError));
            continue;
        }
        m_writer.dSpeed = StageSpeed(m_writer.dSpeed, nDoneBefore + res.nCount, m_writer.dwStartTick, GetTickCountMs());
        if (res.nCount == nCount) return true;
        LogWarning("write count mismatch %08X:%08X.\n", nCount, res.nCount);
    }
    return false;
}
