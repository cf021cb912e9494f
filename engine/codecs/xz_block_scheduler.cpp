#include "engine/codecs/xz_block_scheduler.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

#include "engine/core/format.h"

namespace {

// The head takes without asking for the budget: a chunk of output while
// the reader has fewer than HEAD_CHUNKS of it waiting, and a chunk of
// input while fewer than HEAD_CHUNKS wait for its worker. So it holds at
// most HEAD_CHUNKS + 1 chunks of each (with the one being filled, the one
// being decoded) beside its decoder, which is what a block behind it
// leaves free.
constexpr size_t HEAD_CHUNKS = 2;
constexpr uint64_t HEAD_ROOM = 2 * (HEAD_CHUNKS + 1) * CXzBlockScheduler::CHUNK;
// Chunks given back are kept for the next ones, up to this many (still
// held), so that the same memory goes round instead of through malloc,
// whose arenas would keep more than the budget resident.
constexpr size_t MAX_SPARE = 4;

}  // namespace

T_DECODE_RESULT XzFailure(EDecodeFailure eFailure, std::string strDetail)
{
    return T_DECODE_RESULT{false, eFailure, 0, std::move(strDetail)};
}

T_DECODE_RESULT LzmaFailure(int nResult, const char* pszDamage)
{
    switch (nResult) {
    case Lzma::MEM_ERROR:
    case Lzma::MEMLIMIT_ERROR: return XzFailure(EDecodeFailure::NoMemory);
    case Lzma::OPTIONS_ERROR: return XzFailure(EDecodeFailure::Damaged, "options this liblzma does not support");
    case Lzma::UNSUPPORTED_CHECK: return XzFailure(EDecodeFailure::Unsupported, "a check this liblzma cannot verify");
    case Lzma::DATA_ERROR:
    case Lzma::FORMAT_ERROR: return XzFailure(EDecodeFailure::Damaged, pszDamage);
    case Lzma::BUF_ERROR: return XzFailure(EDecodeFailure::Truncated);
    default: return XzFailure(EDecodeFailure::Damaged, FormatText("liblzma error %d", nResult));
    }
}

struct CXzBlockScheduler::T_ITEM {
    enum class EKind { Block, Inline, End, Failure };
    T_ITEM(EKind e, const T_LZMA_ENTRY_POINTS& l) : eKind(e), lzma(l) {}
    ~T_ITEM()
    {
        if (bFiltersHeld) lzma.lzma_filters_free(header.filters, nullptr);
    }
    T_ITEM(const T_ITEM&) = delete;
    T_ITEM& operator=(const T_ITEM&) = delete;

    const EKind eKind;
    const T_LZMA_ENTRY_POINTS& lzma;
    T_DECODE_RESULT result;  // Failure: why; Block: why it failed, once done
    // Block:
    T_BLOCK_HEADER header;
    bool bFiltersHeld = false;
    std::deque<std::vector<uint8_t>> input;
    bool bInputClosed = false;
    T_DECODE_RESULT inputFailure;  // why no more input comes, when it was cut off
    std::deque<std::vector<uint8_t>> output;
    size_t nOutputPos = 0;  // taken of output.front()
    bool bTaken = false;
    bool bDone = false;
};

CXzBlockScheduler::CXzBlockScheduler(const T_LZMA_ENTRY_POINTS& lzma, const T_XZ_LIMITS& limits)
    : m_lzma(lzma),
      m_nBudget(limits.nBudget),
      m_nWorkers(std::clamp(limits.nWorkers ? limits.nWorkers : std::thread::hardware_concurrency(), 1u,
                            T_XZ_LIMITS::MAX_WORKERS))
{
}

CXzBlockScheduler::~CXzBlockScheduler()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_cvChange.notify_all();
    for (std::thread& worker : m_workers) worker.join();
}

// ---- the reader's side of the file -----------------------------------------

bool CXzBlockScheduler::AddBlock(T_BLOCK_HEADER& header, T_DECODE_RESULT& failure)
{
    auto pItem = std::make_shared<T_ITEM>(T_ITEM::EKind::Block, m_lzma);
    pItem->header = header;
    pItem->header.block.filters = pItem->header.filters;
    pItem->bFiltersHeld = true;
    header.block.filters = nullptr;  // the filters are the item's now
    if (m_workers.empty()) StartWorkers();
    if (m_workers.empty()) {
        failure = XzFailure(EDecodeFailure::NoMemory, "no decoding thread could start");
        return false;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back(pItem);
        m_pFilling = pItem;
        Changed();
    }
    m_cvChange.notify_all();
    return true;
}

bool CXzBlockScheduler::InputRoom() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_pFilling) return false;
    if (IsHead(*m_pFilling) && m_pFilling->input.size() < HEAD_CHUNKS) return true;
    // Only into the blocks a worker could be decoding now.
    unsigned nUndone = 0;
    for (const auto& pItem : m_items) {
        if (pItem == m_pFilling) break;
        if (pItem->eKind == T_ITEM::EKind::Block && !pItem->bDone) ++nUndone;
    }
    return nUndone < m_nWorkers && Fits(ChunkCost());
}

void CXzBlockScheduler::AddInput(const uint8_t* pBytes, size_t nBytes)
{
    std::vector<uint8_t> chunk;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        chunk = TakeChunk();
    }
    chunk.reserve(CHUNK);
    chunk.assign(pBytes, pBytes + nBytes);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_pFilling->input.push_back(std::move(chunk));
        Changed();
    }
    m_cvChange.notify_all();
}

void CXzBlockScheduler::CloseInput(const T_DECODE_RESULT& result)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_pFilling->bInputClosed = true;
        m_pFilling->inputFailure = result;
        m_pFilling = nullptr;
        Changed();
    }
    m_cvChange.notify_all();
}

void CXzBlockScheduler::AddInline()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_items.push_back(std::make_shared<T_ITEM>(T_ITEM::EKind::Inline, m_lzma));
    Changed();
}

void CXzBlockScheduler::AddEnd()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_items.push_back(std::make_shared<T_ITEM>(T_ITEM::EKind::End, m_lzma));
    Changed();
}

void CXzBlockScheduler::AddFailure(const T_DECODE_RESULT& failure)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    auto pItem = std::make_shared<T_ITEM>(T_ITEM::EKind::Failure, m_lzma);
    pItem->result = failure;
    m_items.push_back(std::move(pItem));
    Changed();
}

void CXzBlockScheduler::Charge(uint64_t nBytes)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    ChargeLocked(nBytes);
}

void CXzBlockScheduler::Release(uint64_t nBytes)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_nHeld -= nBytes;
        Changed();
    }
    m_cvChange.notify_all();
}

// ---- the reader's side of the image ----------------------------------------

CXzBlockScheduler::EHead CXzBlockScheduler::Take(uint8_t* pOut, size_t nOut, size_t& nTaken,
                                                 T_DECODE_RESULT& failure)
{
    nTaken = 0;
    TLock lock(m_mutex);
    for (;;) {
        if (m_items.empty()) return EHead::Waiting;
        T_ITEM& head = *m_items.front();
        switch (head.eKind) {
        case T_ITEM::EKind::Inline: return EHead::Inline;
        case T_ITEM::EKind::End: return EHead::End;
        case T_ITEM::EKind::Failure: failure = head.result; return EHead::Failed;
        case T_ITEM::EKind::Block: break;
        }
        bool bGaveBack = false;
        while (nTaken < nOut && !head.output.empty()) {
            const std::vector<uint8_t>& chunk = head.output.front();
            const size_t n = std::min(nOut - nTaken, chunk.size() - head.nOutputPos);
            std::memcpy(pOut + nTaken, chunk.data() + head.nOutputPos, n);
            nTaken += n;
            head.nOutputPos += n;
            if (head.nOutputPos == chunk.size()) {
                GiveBackChunk(std::move(head.output.front()));
                head.output.pop_front();
                head.nOutputPos = 0;
                bGaveBack = true;
            }
        }
        if (bGaveBack) {
            Changed();
            lock.unlock();
            m_cvChange.notify_all();
            lock.lock();
        }
        if (nTaken > 0) return EHead::Bytes;
        if (!head.bDone) return EHead::Waiting;
        if (!head.result.bOk) {
            failure = head.result;
            return EHead::Failed;
        }
        m_items.pop_front();  // a new head: its worker may now go beyond the budget
        Changed();
        m_cvChange.notify_all();
    }
}

void CXzBlockScheduler::DoneInline()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_items.pop_front();
        Changed();
    }
    m_cvChange.notify_all();
}

uint64_t CXzBlockScheduler::Changes() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_nChanges;
}

void CXzBlockScheduler::WaitForChange(uint64_t nSeen)
{
    TLock lock(m_mutex);
    m_cvChange.wait(lock, [&] { return m_nChanges != nSeen; });
}

T_XZ_STATS CXzBlockScheduler::Stats() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats;
}

// ---- the workers -----------------------------------------------------------

void CXzBlockScheduler::StartWorkers()
{
    for (unsigned i = 0; i < m_nWorkers; ++i) {
        try {
            m_workers.emplace_back([this] { WorkerMain(); });
        } catch (const std::system_error&) {
            break;  // decode on the threads there are
        }
    }
}

// Each worker keeps its decoder from block to block, so that liblzma keeps
// its dictionary (as long as the budget holds it; nRetained is charged).
void CXzBlockScheduler::WorkerMain()
{
    T_LZMA_STREAM stream;
    uint64_t nRetained = 0;
    while (const std::shared_ptr<T_ITEM> pItem = NextBlock(nRetained)) {
        T_DECODE_RESULT result;
        try {
            result = Decode(*pItem, stream);
        } catch (const std::bad_alloc&) {
            result = XzFailure(EDecodeFailure::NoMemory);
        }
        if (Finish(*pItem, result)) {
            m_lzma.lzma_end(&stream);
            stream = T_LZMA_STREAM{};
            Release(nRetained);
            nRetained = 0;
        }
    }
    m_lzma.lzma_end(&stream);
}

// The earliest block no worker has taken, once the budget has room for its
// decoder (beyond the one this worker keeps, nRetained, which it becomes)
// and a chunk of output; at once when it is the head. Null when the
// scheduler stops.
std::shared_ptr<CXzBlockScheduler::T_ITEM> CXzBlockScheduler::NextBlock(uint64_t& nRetained)
{
    TLock lock(m_mutex);
    std::shared_ptr<T_ITEM> pNext;
    m_cvChange.wait(lock, [&] {
        if (m_bStop) return true;
        const auto it = std::find_if(m_items.begin(), m_items.end(), [](const auto& p) {
            return p->eKind == T_ITEM::EKind::Block && !p->bTaken;
        });
        if (it == m_items.end()) return false;
        const uint64_t nMemory = (*it)->header.nDecoderMemory;
        if (!IsHead(**it) && !Fits((nMemory > nRetained ? nMemory - nRetained : 0) + ChunkCost())) return false;
        pNext = *it;
        return true;
    });
    if (m_bStop) return nullptr;
    pNext->bTaken = true;
    m_nHeld -= nRetained;  // liblzma reuses the decoder's memory where it can
    ChargeLocked(pNext->header.nDecoderMemory);
    nRetained = pNext->header.nDecoderMemory;
    m_stats.nMostDecoding = std::max(m_stats.nMostDecoding, ++m_nDecoding);
    return pNext;
}

// Decodes the whole block into chunks of output; the result is the
// block's (or a stop's, Unusable, which no reader sees).
T_DECODE_RESULT CXzBlockScheduler::Decode(T_ITEM& item, T_LZMA_STREAM& stream)
{
    const int nStart = m_lzma.lzma_block_decoder(&stream, &item.header.block);
    m_lzma.lzma_filters_free(item.header.filters, nullptr);  // the decoder keeps what it needs of them
    item.bFiltersHeld = false;
    if (nStart != Lzma::OK) return LzmaFailure(nStart, "a block header names filters that cannot be used");
    std::vector<uint8_t> in, out;
    size_t nInPos = 0, nOutPos = 0;
    bool bLast = false;  // no input comes after in
    T_DECODE_RESULT result = XzFailure(EDecodeFailure::Unusable);
    for (;;) {
        if (nInPos == in.size() && !bLast) {
            if (in.capacity()) GiveBack(std::move(in));
            in = {};
            nInPos = 0;
            if (!TakeInput(item, in, bLast)) break;
        }
        if (out.empty()) {
            if (!AllocateOutput(item, out)) break;
            nOutPos = 0;
        }
        stream.next_in = in.data() + nInPos;
        stream.avail_in = in.size() - nInPos;
        stream.next_out = out.data() + nOutPos;
        stream.avail_out = out.size() - nOutPos;
        const int nResult = m_lzma.lzma_code(&stream, Lzma::RUN);
        const size_t nUsed = in.size() - nInPos - stream.avail_in;
        const size_t nMade = out.size() - nOutPos - stream.avail_out;
        nInPos += nUsed;
        nOutPos += nMade;
        const bool bStuck = nResult == Lzma::OK && nUsed == 0 && nMade == 0 && bLast && nInPos == in.size();
        if (nOutPos == out.size() || nResult != Lzma::OK || bStuck) {
            out.resize(nOutPos);
            PutOutput(item, out);
        }
        if (nResult == Lzma::STREAM_END) {
            // The reader gives the block exactly the bytes its header counts,
            // and the block decoder holds the block to its header's sizes.
            result = nInPos == in.size()
                         ? T_DECODE_RESULT{}
                         : XzFailure(EDecodeFailure::Damaged, "a block is shorter than its header says");
            break;
        }
        if (nResult != Lzma::OK) {
            result = LzmaFailure(nResult, "a block's data break the format's rules or fail their check");
            break;
        }
        if (bStuck) {
            result = item.inputFailure.bOk
                         ? XzFailure(EDecodeFailure::Damaged, "a block is longer than its header says")
                         : item.inputFailure;
            break;
        }
    }
    if (in.capacity()) GiveBack(std::move(in));
    if (out.capacity()) GiveBack(std::move(out));
    return result;
}

// The next chunk of the block's input, waiting for the reader. bLast: no
// more comes after it (in may then be empty). False when stopping.
bool CXzBlockScheduler::TakeInput(T_ITEM& item, std::vector<uint8_t>& in, bool& bLast)
{
    TLock lock(m_mutex);
    m_cvChange.wait(lock, [&] { return m_bStop || !item.input.empty() || item.bInputClosed; });
    if (m_bStop) return false;
    if (!item.input.empty()) {
        in = std::move(item.input.front());
        item.input.pop_front();
        Changed();
    }
    bLast = item.bInputClosed && item.input.empty();
    lock.unlock();
    m_cvChange.notify_all();
    return true;
}

// A chunk of output: at once for the head while the reader has fewer
// than HEAD_CHUNKS of its output waiting, otherwise when the budget has
// room. False when stopping.
bool CXzBlockScheduler::AllocateOutput(T_ITEM& item, std::vector<uint8_t>& out)
{
    {
        TLock lock(m_mutex);
        m_cvChange.wait(lock, [&] {
            return m_bStop || (IsHead(item) && item.output.size() < HEAD_CHUNKS) || Fits(ChunkCost());
        });
        if (m_bStop) return false;
        out = TakeChunk();
    }
    out.resize(CHUNK);  // (a failure to allocate is the worker's NoMemory)
    return true;
}

// Queues the decoded bytes for the reader; an empty chunk goes back.
void CXzBlockScheduler::PutOutput(T_ITEM& item, std::vector<uint8_t>& out)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (out.empty()) {
            GiveBackChunk(std::move(out));
        } else {
            item.output.push_back(std::move(out));
        }
        Changed();
    }
    out = {};
    m_cvChange.notify_all();
}

void CXzBlockScheduler::GiveBack(std::vector<uint8_t> chunk)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        GiveBackChunk(std::move(chunk));
        Changed();
    }
    m_cvChange.notify_all();
}

// The block is done. True when its worker is to let its decoder's memory
// go: after a failure, or when keeping it would leave the head less than
// its room within the budget.
bool CXzBlockScheduler::Finish(T_ITEM& item, const T_DECODE_RESULT& result)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        item.result = result;
        item.bDone = true;
        --m_nDecoding;
        Changed();
    }
    m_cvChange.notify_all();
    const std::lock_guard<std::mutex> lock(m_mutex);
    return !result.bOk || m_nHeld + HEAD_ROOM > m_nBudget;
}

// ---- the budget (under the lock) -------------------------------------------

bool CXzBlockScheduler::IsHead(const T_ITEM& item) const
{
    return !m_items.empty() && m_items.front().get() == &item;
}

// Whether a block behind the head may hold nBytes more, leaving the head
// the room it may take without asking (and its decoder, if not started).
bool CXzBlockScheduler::Fits(uint64_t nBytes) const
{
    uint64_t nReserve = HEAD_ROOM;
    if (!m_items.empty() && m_items.front()->eKind == T_ITEM::EKind::Block && !m_items.front()->bTaken)
        nReserve += m_items.front()->header.nDecoderMemory;
    return m_nHeld + nBytes + nReserve <= m_nBudget;
}

// A chunk to fill: a spare one, or a new one charged (empty, its memory
// reserved by the caller outside the lock).
std::vector<uint8_t> CXzBlockScheduler::TakeChunk()
{
    if (m_spare.empty()) {
        ChargeLocked(CHUNK);
        return {};
    }
    std::vector<uint8_t> chunk = std::move(m_spare.back());
    m_spare.pop_back();
    return chunk;
}

void CXzBlockScheduler::GiveBackChunk(std::vector<uint8_t> chunk)
{
    if (m_spare.size() < MAX_SPARE) {
        chunk.clear();
        m_spare.push_back(std::move(chunk));
    } else {
        m_nHeld -= CHUNK;
    }
}

uint64_t CXzBlockScheduler::ChunkCost() const
{
    return m_spare.empty() ? CHUNK : 0;
}

void CXzBlockScheduler::ChargeLocked(uint64_t nBytes)
{
    m_nHeld += nBytes;
    m_stats.nPeakHeld = std::max(m_stats.nPeakHeld, m_nHeld);
}

void CXzBlockScheduler::Changed()
{
    ++m_nChanges;
}
