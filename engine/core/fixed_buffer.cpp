#include "engine/core/fixed_buffer.h"

#include <cstdint>
#include <new>

#include "engine/core/debug_trace.h"

namespace {

// Each block is a region of its own: one alignment unit that ends with the
// header, then the data area on the next boundary.
constexpr size_t HEADER_ROOM = BLOCK_ALIGNMENT;

std::atomic<PFN_ALLOC_REGION> g_pfnAllocRegion{nullptr};

void* AllocRegion(uint64_t nSize)
{
    // A size so large that the header room would wrap the total around.
    if (nSize > SIZE_MAX - HEADER_ROOM) return nullptr;
    const PFN_ALLOC_REGION pfnAlloc = g_pfnAllocRegion.load();
    return (pfnAlloc ? pfnAlloc : DefaultAllocRegion)(static_cast<size_t>(HEADER_ROOM + nSize));
}

void FreeRegion(void* pRegion)
{
    ::operator delete(pRegion, std::align_val_t(BLOCK_ALIGNMENT));
}

}  // namespace

void SetRegionAllocator(PFN_ALLOC_REGION pfnAlloc)
{
    g_pfnAllocRegion = pfnAlloc;
}

void* DefaultAllocRegion(size_t nBytes)
{
    return ::operator new(nBytes, std::align_val_t(BLOCK_ALIGNMENT), std::nothrow);
}

CFixedBuffer::~CFixedBuffer()
{
    ReleaseBlocks();
}

CFixedBuffer::T_BLOCK_HEADER* CFixedBuffer::HeaderOf(uint8_t* pData)
{
    return reinterpret_cast<T_BLOCK_HEADER*>(pData - sizeof(T_BLOCK_HEADER));
}

void CFixedBuffer::ReleaseBlocks()
{
    if (m_ppBlocks) {
        for (uint64_t i = 0; i < m_nBlocks; ++i) {
            auto* pRegion = static_cast<uint8_t*>(m_ppBlocks[i]);
            HeaderOf(pRegion + HEADER_ROOM)->~T_BLOCK_HEADER();
            FreeRegion(pRegion);
        }
        delete[] m_ppBlocks;
    }
    m_ppBlocks = nullptr;
    m_nBlocks = 0;
    m_pFree = nullptr;
    m_nFreeCount = 0;
    m_nUsed = 0;
}

bool CFixedBuffer::Create(uint64_t nSize, uint64_t nCount)
{
    std::lock_guard lock(m_hMutex);
    ReleaseBlocks();
    m_ppBlocks = new (std::nothrow) void*[static_cast<size_t>(nCount)];
    if (!m_ppBlocks) return false;
    for (uint64_t i = 0; i < nCount; ++i) {
        auto* pRegion = static_cast<uint8_t*>(AllocRegion(nSize));
        if (!pRegion) continue;
        uint8_t* pData = pRegion + HEADER_ROOM;
        auto* pHeader = new (pData - sizeof(T_BLOCK_HEADER)) T_BLOCK_HEADER{m_pFree, {0}, nSize, pData};
        m_pFree = pHeader;
        m_ppBlocks[m_nBlocks++] = pRegion;
    }
    m_nFreeCount = m_nBlocks;
    m_bAbort = false;
    if (m_nBlocks == nCount) return true;
    ReleaseBlocks();
    return false;
}

uint8_t* CFixedBuffer::Alloc()
{
    std::unique_lock lock(m_hMutex);
    if (!m_ppBlocks) return nullptr;
    m_hSemaphore.wait(lock, [this] { return m_bAbort || m_nFreeCount > 0; });
    if (m_bAbort) return nullptr;
    if (!m_pFree) {
        DebugTrace("CFixedBuffer::Alloc(), m_pFree == NULL\n");
        return nullptr;
    }
    --m_nFreeCount;
    T_BLOCK_HEADER* pHeader = m_pFree;
    m_pFree = pHeader->pNext;
    ++m_nUsed;
    pHeader->nRefs.fetch_add(1);
    return pHeader->pData;
}

void CFixedBuffer::AddRef(uint8_t* pData)
{
    HeaderOf(pData)->nRefs.fetch_add(1);
}

void CFixedBuffer::Free(uint8_t* pData)
{
    T_BLOCK_HEADER* pHeader = HeaderOf(pData);
    if (pHeader->nRefs.fetch_sub(1) != 1) return;
    {
        std::lock_guard lock(m_hMutex);
        pHeader->pNext = m_pFree;
        m_pFree = pHeader;
        --m_nUsed;
        ++m_nFreeCount;
    }
    m_hSemaphore.notify_one();
}

void CFixedBuffer::Abort()
{
    {
        std::lock_guard lock(m_hMutex);
        m_bAbort = true;
    }
    m_hSemaphore.notify_all();
}

uint32_t CFixedBuffer::UsedCount()
{
    std::lock_guard lock(m_hMutex);
    return m_nUsed;
}
