// The digest side of a checksum calculation: blocks from the queue into
// MD5 until the end-of-data item, on the digest thread or in line.
#include "engine/checksum/hash_digest.h"

#include <system_error>

#include "engine/core/log.h"

namespace {

enum class EStep { More, End, Failed };

// Takes the next item of the queue into the digest. At the end-of-data
// item the digest goes into the record.
EStep DigestNext(T_CALC_MD5HASH_PARAM& param, CMd5& md5)
{
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    if (!param.m_pQueue->Get(pData, nCount) || !pData) return EStep::Failed;
    if (nCount > 0) md5.Update(pData, static_cast<size_t>(nCount));
    param.m_pBuffer->Free(pData);
    if (!md5.IsValid()) {
        LogError("the MD5 digest could not be computed.\n");
        return EStep::Failed;
    }
    if (nCount == 0) {
        param.digest = md5.Final();
        return md5.IsValid() ? EStep::End : EStep::Failed;
    }
    return param.bAbort ? EStep::Failed : EStep::More;
}

}  // namespace

T_CALC_MD5HASH_PARAM::T_CALC_MD5HASH_PARAM()
    : m_pBuffer(std::make_unique<CFixedBuffer>()), m_pQueue(std::make_unique<CQueue>(BLOCK_COUNT))
{
}

bool T_CALC_MD5HASH_PARAM::Create()
{
    return m_pBuffer->Create(nBlockSize, BLOCK_COUNT);
}

int DigestThread(T_CALC_MD5HASH_PARAM* pParam)
{
    CMd5 md5;
    for (;;) {
        const EStep eStep = DigestNext(*pParam, md5);
        if (eStep == EStep::End) return 0;
        if (eStep == EStep::Failed) {
            pParam->m_pQueue->Abort();
            pParam->m_pBuffer->Abort();
            return -1;
        }
    }
}

CDigestRun::CDigestRun(T_CALC_MD5HASH_PARAM& param) : m_param(param) {}

CDigestRun::~CDigestRun()
{
    if (m_hThread.joinable()) {
        Abort();
        m_hThread.join();
    }
}

void CDigestRun::Start(const PFN_START_THREAD& fnStart)
{
    try {
        m_hThread = fnStart([this] { m_nResult = DigestThread(&m_param); });
    } catch (const std::system_error&) {
        m_pInLineMd5 = std::make_unique<CMd5>();
    }
}

bool CDigestRun::Put(uint8_t* pBlock, uint64_t nCount)
{
    if (!m_param.m_pQueue->Put(pBlock, nCount)) {
        m_param.m_pBuffer->Free(pBlock);
        return false;
    }
    if (!InLine()) return true;
    // The queue has room: this side just took out everything it put in.
    const EStep eStep = m_pInLineMd5 ? DigestNext(m_param, *m_pInLineMd5) : EStep::Failed;
    if (eStep == EStep::End) m_nResult = 0;
    if (eStep != EStep::Failed) return true;
    m_param.m_pQueue->Abort();
    return false;
}

void CDigestRun::Abort()
{
    m_param.bAbort = true;
    m_param.m_pQueue->Abort();
}

bool CDigestRun::Finish()
{
    if (m_hThread.joinable()) m_hThread.join();
    return m_nResult == 0;
}
