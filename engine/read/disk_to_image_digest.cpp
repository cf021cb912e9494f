// The digest thread: feeds the same blocks the writer gets to MD5.
#include "engine/read/disk_to_image.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/tick.h"

void CDiskToImage::DigestThread()
{
    uint64_t r = m_nTotal;
    m_digestStage.dwStartTick = GetTickCountMs();
    CMd5 md5;
    if (!md5.IsValid()) {
        LogError("MD5 computation could not be started.\n");
        SetAbort();
    }
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    while (!m_bAbort && r > 0 && TakeBlock(*m_pDigestQueue, pData, nCount, r)) {
        md5.Update(pData, static_cast<size_t>(nCount));
        m_pBuffer->Free(pData);
        r -= nCount;
        m_digestStage.nRemain = r;
        m_digestStage.dSpeed =
            StageSpeed(m_digestStage.dSpeed, m_nTotal - r, m_digestStage.dwStartTick, GetTickCountMs());
    }
    m_digest = md5.Final();
    if (r == 0 && md5.IsValid()) {
        m_bDigestValid = true;
        LogInfo("DISK MD5SUM=%s\n", Md5Text(m_digest));
        m_digestStage.bSuccess = true;
    }
    StageFinished(m_digestStage);
}
