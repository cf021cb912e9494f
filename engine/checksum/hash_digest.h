#pragma once
// The digest side of one checksum calculation: the record the reading side
// shares with the digest thread (a pool of 4 blocks of 1 MiB and a queue of
// 4 items between them), and the digest thread itself. When no thread can
// be started the reading side digests every block itself, right after
// putting it, from the same queue: the data and the digest are the same.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "engine/core/fixed_buffer.h"
#include "engine/core/md5.h"
#include "engine/core/queue.h"

class CHashTask;

// One calculation's shared record; the pool and the queue go with it.
struct T_CALC_MD5HASH_PARAM {
    T_CALC_MD5HASH_PARAM();
    virtual ~T_CALC_MD5HASH_PARAM() = default;
    T_CALC_MD5HASH_PARAM(const T_CALC_MD5HASH_PARAM&) = delete;
    T_CALC_MD5HASH_PARAM& operator=(const T_CALC_MD5HASH_PARAM&) = delete;

    // Builds the pool; false when its memory cannot be had.
    bool Create();

    static constexpr uint64_t BLOCK_COUNT = 4;

    CHashTask* pOwner = nullptr;
    std::atomic<bool> bAbort{false};  // the reading side gave up: the digest stops before its next block
    uint64_t nBlockSize = 0x100000;
    std::unique_ptr<CFixedBuffer> m_pBuffer;
    std::unique_ptr<CQueue> m_pQueue;
    T_MD5_DIGEST digest{};  // filled by the digest side when the data ended
};

// The digest thread: 0 when it took the end-of-data item (an item of 0
// bytes) and the digest is in the record, -1 otherwise. Stopping early, it
// aborts the queue and the pool, so the reading side never waits for it.
int DigestThread(T_CALC_MD5HASH_PARAM* pParam);

using PFN_START_THREAD = std::function<std::thread(std::function<void()>)>;

// The digest side of one calculation, on its own thread or in line.
class CDigestRun {
public:
    explicit CDigestRun(T_CALC_MD5HASH_PARAM& param);
    virtual ~CDigestRun();
    CDigestRun(const CDigestRun&) = delete;
    CDigestRun& operator=(const CDigestRun&) = delete;

    // Starts the digest thread with fnStart; when that fails, every block
    // will be digested in line by Put.
    void Start(const PFN_START_THREAD& fnStart);
    bool InLine() const { return !m_hThread.joinable(); }
    // Hands one block (its reference) to the digest; nCount 0 ends the data.
    // False when the digest side no longer takes blocks (the block went
    // back to the pool).
    bool Put(uint8_t* pBlock, uint64_t nCount);
    // Stops the digest side after a failed or cancelled read.
    void Abort();
    // Waits for the digest side; true when it produced the digest.
    bool Finish();

private:
    T_CALC_MD5HASH_PARAM& m_param;
    std::thread m_hThread;
    std::unique_ptr<CMd5> m_pInLineMd5;
    int m_nResult = -1;
    bool m_bInLineEnded = false;
};
