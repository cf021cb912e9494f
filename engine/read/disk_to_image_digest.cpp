// The digest thread: feeds the same blocks the writer gets to MD5. A
// digest the platform refuses to compute fails the job at once: a read
// whose digest is missing is not a good read.
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/core/tick.h"
#include "engine/read/disk_to_image.h"

void CDiskToImage::DigestThread()
{
    uint64_t r = m_nTotal;
    m_digestStage.dwStartTick = GetTickCountMs();
    CMd5 md5;
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    while (md5.IsValid() && !m_bAbort && r > 0 && TakeBlock(*m_pDigestQueue, m_digestStage, pData, nCount, r)) {
        md5.Update(pData, static_cast<size_t>(nCount));
        m_pBuffer->Free(pData);
        r -= nCount;
        m_digestStage.nRemain = r;
        m_digestStage.dSpeed =
            StageSpeed(m_digestStage.dSpeed, m_nTotal - r, m_digestStage.dwStartTick, GetTickCountMs());
    }
    m_digest = md5.Final();
    if (!md5.IsValid()) {
        LogError("the MD5 digest could not be computed.\n");
        SetAbort();
    } else if (r == 0) {
        m_bDigestValid = true;
        m_digestStage.bSuccess = true;
    }
    StageFinished(m_digestStage);
}
