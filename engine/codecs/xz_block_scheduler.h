#pragma once
// The blocks of an xz image between the thread that reads the file and the
// worker threads that decode them. The reader queues the items of the
// image in file order (a block with its compressed bytes, a block it
// decodes itself, the end, or a failure); the workers decode the queued
// blocks one whole block each, earliest first; the reader takes the decoded
// bytes out in order from the item at the head of the queue.
//
// Everything held (each worker's decoder state with its dictionary, the
// chunks of compressed bytes waiting for a worker and of decoded bytes
// waiting for the reader, a few spare chunks) is charged to one budget. A block behind the head gets a decoder,
// an output chunk or more input only while the budget has room for that
// and for what the head may still need; the head never waits for the
// budget (so a block that alone needs more than the budget still decodes,
// on one thread), only for the reader to take its output. A failure of a
// block surfaces when every byte in front of it has been taken.
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/codecs/codec_entry_points.h"
#include "engine/codecs/image_decoder.h"

// The decoder's limits: the budget, and the worker threads (0: one per core,
// at most MAX_WORKERS). The whole program is to stay within 64 MiB beside
// its block pool while it decodes; the program itself (code, stacks, the
// engines' own buffers, the allocator's slack) takes a few MiB of them, the
// decoder the rest.
struct T_XZ_LIMITS {
    static constexpr unsigned MAX_WORKERS = 4;
    uint64_t nBudget = 56ull << 20;
    unsigned nWorkers = 0;
};

// What the decoder did, for tests: the most bytes it held at once, and the
// most blocks that were decoding at once.
struct T_XZ_STATS {
    uint64_t nPeakHeld = 0;
    unsigned nMostDecoding = 0;
};

// A failure of the xz decoder (no system error code).
T_DECODE_RESULT XzFailure(EDecodeFailure eFailure, std::string strDetail = {});
// liblzma's result as our failure; pszDamage says what DATA_ERROR means at
// the call that returned it.
T_DECODE_RESULT LzmaFailure(int nResult, const char* pszDamage);

class CXzBlockScheduler {
public:
    static constexpr size_t CHUNK = 0x100000;  // the decoded bytes of a block come in chunks of this size

    // A block's header as block_header_decode left it, with the filter
    // chain it allocated (freed once the block's decoder has started).
    struct T_BLOCK_HEADER {
        T_LZMA_BLOCK block;
        T_LZMA_FILTER filters[Lzma::FILTERS_MAX + 1];
        uint64_t nDecoderMemory = 0;  // lzma_raw_decoder_memusage of the filters
    };

    // What is at the head of the queue for the reader.
    enum class EHead {
        Bytes,    // bytes were taken
        Waiting,  // nothing yet: the head block is decoding, or nothing is queued
        Inline,   // the head is a block the reader decodes itself (DoneInline when it has)
        End,      // the image has ended
        Failed,   // the head failed: the reason was handed out
    };

    CXzBlockScheduler(const T_LZMA_ENTRY_POINTS& lzma, const T_XZ_LIMITS& limits);
    // Stops the workers wherever they wait and joins them.
    ~CXzBlockScheduler();
    CXzBlockScheduler(const CXzBlockScheduler&) = delete;
    CXzBlockScheduler& operator=(const CXzBlockScheduler&) = delete;

    // ---- the reader's side of the file -----------------------------------
    // Queues a block whose compressed bytes follow with AddInput; takes over
    // its filters. Starts the workers with the first one. False, with the
    // reason, when no worker could start.
    bool AddBlock(T_BLOCK_HEADER& header, T_DECODE_RESULT& failure);
    // Whether a chunk more of compressed bytes (up to CHUNK of them) of the
    // last block queued may be held now.
    bool InputRoom() const;
    void AddInput(const uint8_t* pBytes, size_t nBytes);
    // The last block has had all its bytes; or, with a failure, gets no more
    // and fails with it when its decoder runs out.
    void CloseInput(const T_DECODE_RESULT& result);
    void AddInline();
    void AddEnd();
    void AddFailure(const T_DECODE_RESULT& failure);
    // Memory the reader holds itself (its input buffer, an inline block's
    // decoder), charged without waiting.
    void Charge(uint64_t nBytes);
    void Release(uint64_t nBytes);

    // ---- the reader's side of the image ----------------------------------
    EHead Take(uint8_t* pOut, size_t nOut, size_t& nTaken, T_DECODE_RESULT& failure);
    void DoneInline();
    // A count that changes whenever something happens that may let the
    // reader go on; WaitForChange returns once it differs from nSeen.
    uint64_t Changes() const;
    void WaitForChange(uint64_t nSeen);

    T_XZ_STATS Stats() const;

private:
    struct T_ITEM;
    using TLock = std::unique_lock<std::mutex>;

    void StartWorkers();
    void WorkerMain();
    std::shared_ptr<T_ITEM> NextBlock(uint64_t& nRetained);
    T_DECODE_RESULT Decode(T_ITEM& item, T_LZMA_STREAM& stream);
    bool TakeInput(T_ITEM& item, std::vector<uint8_t>& in, bool& bLast);
    bool AllocateOutput(T_ITEM& item, std::vector<uint8_t>& out);
    void PutOutput(T_ITEM& item, std::vector<uint8_t>& out);
    void GiveBack(std::vector<uint8_t> chunk);
    bool Finish(T_ITEM& item, const T_DECODE_RESULT& result);

    bool IsHead(const T_ITEM& item) const;
    bool Fits(uint64_t nBytes) const;
    std::vector<uint8_t> TakeChunk();
    void GiveBackChunk(std::vector<uint8_t> chunk);
    uint64_t ChunkCost() const;
    void ChargeLocked(uint64_t nBytes);
    void Changed();

    const T_LZMA_ENTRY_POINTS& m_lzma;
    const uint64_t m_nBudget;
    const unsigned m_nWorkers;

    mutable std::mutex m_mutex;
    std::condition_variable m_cvChange;
    std::deque<std::shared_ptr<T_ITEM>> m_items;  // in file order; the front is the head
    std::shared_ptr<T_ITEM> m_pFilling;           // the block the reader adds input to
    std::vector<std::vector<uint8_t>> m_spare;    // chunks given back, for the next ones
    uint64_t m_nHeld = 0;
    uint64_t m_nChanges = 0;
    unsigned m_nDecoding = 0;
    bool m_bStop = false;
    T_XZ_STATS m_stats;
    std::vector<std::thread> m_workers;
};
