#pragma once
// The block pool of the pipelines: equally sized blocks with a reference
// count each, so one block read once can be handed to several consumers
// and comes back to the pool when the last of them lets go of it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Data areas start on this boundary, as unbuffered device I/O needs.
constexpr size_t BLOCK_ALIGNMENT = 4096;

// Where block regions come from: aligned operator new by default. Tests
// put in an allocator that fails on demand, to see a pool that can be
// only partly built; null restores the default.
using PFN_ALLOC_REGION = void* (*)(size_t nBytes);
void SetRegionAllocator(PFN_ALLOC_REGION pfnAlloc);
// The default allocation, for an allocator that only sometimes fails.
void* DefaultAllocRegion(size_t nBytes);

class CFixedBuffer {
public:
    CFixedBuffer() = default;
    virtual ~CFixedBuffer();
    CFixedBuffer(const CFixedBuffer&) = delete;
    CFixedBuffer& operator=(const CFixedBuffer&) = delete;

    // Builds nCount blocks of nSize bytes, dropping those of an earlier call.
    bool Create(uint64_t nSize, uint64_t nCount);
    // A block with reference count 1; waits until one is free. Null when
    // the pool was never built or was aborted.
    uint8_t* Alloc();
    void AddRef(uint8_t* pData);
    void Free(uint8_t* pData);
    // Wakes every thread waiting in Alloc and makes Alloc fail from now on,
    // so that a stopping pipeline never waits for blocks nobody will return.
    void Abort();

    uint64_t BlockCount() const { return m_nBlocks; }
    uint32_t UsedCount();

private:
    struct T_BLOCK_HEADER {
        T_BLOCK_HEADER* pNext;
        std::atomic<uint32_t> nRefs;
        uint64_t nCapacity;
        uint8_t* pData;
    };
    static T_BLOCK_HEADER* HeaderOf(uint8_t* pData);
    void ReleaseBlocks();

    std::mutex m_hMutex;                   // guards the free list and the counters
    std::condition_variable m_hSemaphore;  // signalled when a block comes back
    uint64_t m_nFreeCount = 0;             // the semaphore's count: free blocks
    uint64_t m_nBlocks = 0;
    void** m_ppBlocks = nullptr;  // every block's region, to release them
    T_BLOCK_HEADER* m_pFree = nullptr;
    uint32_t m_nUsed = 0;
    bool m_bAbort = false;
};
