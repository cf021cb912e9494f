#include "engine/core/queue.h"

#include <new>

CQueue::CQueue(uint32_t nCapacity)
{
    m_pNodes = new (std::nothrow) T_NODE[nCapacity];
    if (!m_pNodes) return;
    for (uint32_t i = nCapacity; i-- > 0;) {
        m_pNodes[i] = T_NODE{m_pFreeNodes, 0, nullptr};
        m_pFreeNodes = &m_pNodes[i];
    }
}

CQueue::~CQueue()
{
    delete[] m_pNodes;
}

bool CQueue::Put(uint8_t* pData, uint64_t nCount)
{
    if (!m_pNodes) return false;
    {
        std::unique_lock lock(m_hMutex);
        m_hFreeSlots.wait(lock, [this] { return m_bAbort || m_pFreeNodes != nullptr; });
        if (m_bAbort) return false;
        T_NODE* pNode = m_pFreeNodes;
        m_pFreeNodes = pNode->pNext;
        *pNode = T_NODE{nullptr, nCount, pData};
        if (m_pTail) m_pTail->pNext = pNode;
        else m_pHead = pNode;
        m_pTail = pNode;
        ++m_nCount;
    }
    m_hFilled.notify_one();
    return true;
}

bool CQueue::Take(uint8_t*& pData, uint64_t& nCount, bool bWait)
{
    if (!m_pNodes) return false;
    {
        std::unique_lock lock(m_hMutex);
        if (bWait) m_hFilled.wait(lock, [this] { return m_bAbort || m_pHead != nullptr; });
        if (m_bAbort || !m_pHead) return false;
        T_NODE* pNode = m_pHead;
        m_pHead = pNode->pNext;
        if (!m_pHead) m_pTail = nullptr;
        pData = pNode->pData;
        nCount = pNode->nCount;
        pNode->pNext = m_pFreeNodes;
        m_pFreeNodes = pNode;
        --m_nCount;
    }
    m_hFreeSlots.notify_one();
    return true;
}

bool CQueue::Get(uint8_t*& pData, uint64_t& nCount)
{
    return Take(pData, nCount, true);
}

bool CQueue::TryGet(uint8_t*& pData, uint64_t& nCount)
{
    return Take(pData, nCount, false);
}

void CQueue::Abort()
{
    {
        std::lock_guard lock(m_hMutex);
        m_bAbort = true;
    }
    m_hFreeSlots.notify_all();
    m_hFilled.notify_all();
}

uint32_t CQueue::Count()
{
    std::lock_guard lock(m_hMutex);
    return m_nCount;
}

bool CQueue::IsAborted()
{
    std::lock_guard lock(m_hMutex);
    return m_bAbort;
}
