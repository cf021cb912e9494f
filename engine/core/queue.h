#pragma once
// A bounded first-in first-out queue of (data pointer, byte count) pairs
// between two pipeline stages. Aborting it is final and wins over free slots
// and queued items: every waiter wakes with a failure.
#include <condition_variable>
#include <cstdint>
#include <mutex>

class CQueue {
public:
    explicit CQueue(uint32_t nCapacity);
    virtual ~CQueue();
    CQueue(const CQueue&) = delete;
    CQueue& operator=(const CQueue&) = delete;

    bool Put(uint8_t* pData, uint64_t nCount);
    bool Get(uint8_t*& pData, uint64_t& nCount);
    bool TryGet(uint8_t*& pData, uint64_t& nCount);
    void Abort();

    uint32_t Count();
    bool IsAborted();

private:
    struct T_NODE {
        T_NODE* pNext;
        uint64_t nCount;
        uint8_t* pData;
    };
    bool Take(uint8_t*& pData, uint64_t& nCount, bool bWait);

    std::mutex m_hMutex;
    std::condition_variable m_hFreeSlots;  // a slot came free, or abort
    std::condition_variable m_hFilled;     // an item came in, or abort
    T_NODE* m_pNodes = nullptr;
    T_NODE* m_pFreeNodes = nullptr;
    T_NODE* m_pTail = nullptr;
    T_NODE* m_pHead = nullptr;
    uint32_t m_nCount = 0;
    bool m_bAbort = false;
};
