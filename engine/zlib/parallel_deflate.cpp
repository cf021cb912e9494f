// The calling thread's side of the parallel deflate: it fills chunks, hands
// them out, and writes the finished pieces in order with the gzip framing.
#include "engine/zlib/parallel_deflate.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

#include "engine/core/system_error.h"
#include "engine/zlib/deflate_params.h"
#include "engine/zlib/zlib_binding.h"

namespace {
constexpr uint32_t RECORD_ROOM = 64;
constexpr uint32_t DATA_AT = RECORD_ROOM + WINDOW_SIZE;
constexpr uint32_t PIECE_AT = DATA_AT + CParallelDeflate::CHUNK_SIZE;
constexpr uint32_t SLOT_SIZE = PIECE_AT + CParallelDeflate::PIECE_ROOM;
constexpr uint32_t OUTPUT_SIZE = CZLIBIO::BUFFER_SIZE;
}  // namespace

CParallelDeflate::~CParallelDeflate()
{
    Release();
}

uint8_t* CParallelDeflate::DataOf(uint8_t* pSlot)
{
    static_assert(sizeof(T_CHUNK) <= RECORD_ROOM);
    return pSlot + DATA_AT;
}

uint8_t* CParallelDeflate::PieceOf(uint8_t* pSlot)
{
    return pSlot + PIECE_AT;
}

std::string CParallelDeflate::MissingEntryPoints(const T_ZLIB_ENTRY_POINTS* pZlib)
{
    if (!pZlib) return "every entry point";
    std::string strMissing;
    auto check = [&](bool bBound, const char* pszName) {
        if (bBound) return;
        if (!strMissing.empty()) strMissing += ", ";
        strMissing += pszName;
    };
    const T_ZLIB_EXTRA_ENTRY_POINTS& x = pZlib->extra;
    check(x.deflateReset != nullptr, "deflateReset");
    check(x.deflateSetDictionary != nullptr, "deflateSetDictionary");
    check(x.crc32 != nullptr, "crc32");
    check(x.crc32_combine != nullptr, "crc32_combine");
    return strMissing;
}

CParallelDeflate::T_RESULT CParallelDeflate::Init(IDevice& file, const T_ZLIB_ENTRY_POINTS* pZlib, uint32_t nWorkers)
{
    Release();
    m_nFileBytes = 0;
    if (!MissingEntryPoints(pZlib).empty()) return Fail(Z_VERSION_ERROR);
    m_pZlib = pZlib;
    m_pFile = &file;
    m_pOutput.reset(new (std::nothrow) uint8_t[OUTPUT_SIZE]);
    m_pDict.reset(new (std::nothrow) uint8_t[WINDOW_SIZE]);
    uint8_t header[GZIP_HEADER_SIZE];
    nWorkers = std::clamp<uint32_t>(nWorkers, 1, MAX_WORKERS);
    if (!m_pOutput || !m_pDict || !LibraryGzipHeader(*pZlib, header) || !BuildSlots(nWorkers) ||
        !StartWorkers(nWorkers)) {
        Release();
        return Fail(Z_MEM_ERROR);
    }
    std::memcpy(m_pOutput.get(), header, GZIP_HEADER_SIZE);
    m_nOutput = GZIP_HEADER_SIZE;
    NotePieceEnd();
    m_eState = EState::Open;
    return Ok();
}

// Eight slots per worker keep every worker busy while the pieces in front
// of theirs are written, even when a worker loses its core for a while to
// other programs; two more are the chunk being filled and a spare.
bool CParallelDeflate::BuildSlots(uint32_t nWorkers)
{
    m_nSlots = SLOTS_PER_WORKER * nWorkers + 2;
    m_pSlots = std::make_unique<CFixedBuffer>();
    m_pJobs = std::make_unique<CQueue>(m_nSlots);
    m_pDone = std::make_unique<CQueue>(m_nSlots);
    m_arrFinished.assign(m_nSlots, nullptr);
    return m_pSlots->Create(SLOT_SIZE, m_nSlots);
}

// Workers that cannot be started are done without; none at all is a failure.
bool CParallelDeflate::StartWorkers(uint32_t nWorkers)
{
    try {
        m_workers.reserve(nWorkers);
        for (uint32_t i = 0; i < nWorkers; ++i) m_workers.emplace_back(&CParallelDeflate::WorkerThread, this);
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    return !m_workers.empty();
}

void CParallelDeflate::Release()
{
    for (CQueue* pQueue : {m_pJobs.get(), m_pDone.get()}) {
        if (pQueue) pQueue->Abort();
    }
    if (m_pSlots) m_pSlots->Abort();
    for (std::thread& worker : m_workers) worker.join();
    m_workers.clear();
    m_pJobs.reset();
    m_pDone.reset();
    m_pSlots.reset();
    m_pOutput.reset();
    m_pDict.reset();
    m_arrFinished.clear();
    m_pFilling = nullptr;
    m_nHeld = m_nSlots = 0;
    m_nNextSeq = m_nNextPiece = 0;
    m_nCrc = 0;
    m_nDataBytes = 0;
    m_nOutput = 0;
    m_arrEnds.clear();
    m_pFile = nullptr;
    m_pZlib = nullptr;
    m_eState = EState::Idle;
}

CParallelDeflate::T_RESULT CParallelDeflate::Fail(int nZlibResult, uint32_t nError)
{
    m_eState = EState::Failed;
    return T_RESULT{false, nZlibResult, nError};
}

CParallelDeflate::T_RESULT CParallelDeflate::WriteCompressFile(const void* pData, uint32_t nCount)
{
    if (m_eState != EState::Open) return Fail(Z_STREAM_ERROR);
    const auto* p = static_cast<const uint8_t*>(pData);
    while (nCount > 0) {
        // A full chunk goes out only when more data follow: the stream's
        // last chunk must finish it.
        T_RESULT result = Ok();
        if (!m_pFilling) result = TakeSlot(m_pFilling);
        else if (ChunkOf(m_pFilling).nData == CHUNK_SIZE) result = Dispatch(false);
        if (!result.bOk) return result;
        T_CHUNK& chunk = ChunkOf(m_pFilling);
        const uint32_t n = std::min(CHUNK_SIZE - chunk.nData, nCount);
        std::memcpy(DataOf(m_pFilling) + chunk.nData, p, n);
        chunk.nData += n;
        p += n;
        nCount -= n;
    }
    return Collect(false);
}

CParallelDeflate::T_RESULT CParallelDeflate::CommitWrite()
{
    if (m_eState != EState::Open) return Fail(Z_STREAM_ERROR);
    if (!m_pFilling) {  // a member of nothing still has its final block
        const T_RESULT taken = TakeSlot(m_pFilling);
        if (!taken.bOk) return taken;
    }
    T_RESULT result = Dispatch(true);
    while (result.bOk && m_nNextPiece < m_nNextSeq) result = Collect(true);
    if (!result.bOk) return result;
    uint8_t trailer[GZIP_TRAILER_SIZE];
    PutGzipTrailer(m_nCrc, m_nDataBytes, trailer);
    result = Append(trailer, GZIP_TRAILER_SIZE);
    if (!result.bOk) return result;
    m_eState = EState::Finished;
    return m_nOutput > 0 ? WriteOutput(m_nOutput) : Ok();
}

// A free slot for the next chunk. When every slot is taken, the pieces are
// written as they come in until the next one in order frees its slot.
CParallelDeflate::T_RESULT CParallelDeflate::TakeSlot(uint8_t*& pSlot)
{
    while (m_nHeld >= m_nSlots) {
        const T_RESULT collected = Collect(true);
        if (!collected.bOk) return collected;
    }
    pSlot = m_pSlots->Alloc();
    if (!pSlot) return Fail(Z_STREAM_ERROR);
    ++m_nHeld;
    new (pSlot) T_CHUNK{m_nNextSeq++, 0, 0, false, Z_OK, 0, 0};
    return Ok();
}

// Hands the filled chunk to the workers. Unless it is the last, a new chunk
// takes its place, primed with its last 32 KiB (kept aside first: once out,
// the chunk may be written and its slot reused before the new one exists).
CParallelDeflate::T_RESULT CParallelDeflate::Dispatch(bool bLast)
{
    T_CHUNK& chunk = ChunkOf(m_pFilling);
    chunk.bLast = bLast;
    if (!bLast) std::memcpy(m_pDict.get(), DataOf(m_pFilling) + chunk.nData - WINDOW_SIZE, WINDOW_SIZE);
    if (!m_pJobs->Put(m_pFilling, chunk.nSeq)) return Fail(Z_STREAM_ERROR);
    m_pFilling = nullptr;
    if (bLast) return Ok();
    const T_RESULT taken = TakeSlot(m_pFilling);
    if (!taken.bOk) return taken;
    ChunkOf(m_pFilling).nDict = WINDOW_SIZE;
    std::memcpy(DataOf(m_pFilling) - WINDOW_SIZE, m_pDict.get(), WINDOW_SIZE);
    return Ok();
}

// Takes the compressed chunks that are back (waiting for one when bWait)
// and writes every piece that is next in order.
CParallelDeflate::T_RESULT CParallelDeflate::Collect(bool bWait)
{
    uint8_t* pSlot = nullptr;
    uint64_t nSeq = 0;
    if (bWait) {
        if (!m_pDone->Get(pSlot, nSeq)) return Fail(Z_STREAM_ERROR);
        m_arrFinished[nSeq % m_nSlots] = pSlot;
    }
    while (m_pDone->TryGet(pSlot, nSeq)) m_arrFinished[nSeq % m_nSlots] = pSlot;
    while (m_nNextPiece < m_nNextSeq) {
        uint8_t*& pNext = m_arrFinished[m_nNextPiece % m_nSlots];
        if (!pNext) break;
        pSlot = pNext;
        pNext = nullptr;
        const T_RESULT written = WritePiece(pSlot);
        m_pSlots->Free(pSlot);
        --m_nHeld;
        ++m_nNextPiece;
        if (!written.bOk) return written;
    }
    return Ok();
}

CParallelDeflate::T_RESULT CParallelDeflate::WritePiece(uint8_t* pSlot)
{
    const T_CHUNK& chunk = ChunkOf(pSlot);
    if (chunk.nResult != Z_OK) return Fail(chunk.nResult);
    m_nCrc = static_cast<uint32_t>(m_pZlib->extra.crc32_combine(m_nCrc, chunk.nCrc, static_cast<long>(chunk.nData)));
    m_nDataBytes += chunk.nData;
    const T_RESULT appended = Append(PieceOf(pSlot), chunk.nOut);
    if (appended.bOk && !chunk.bLast) NotePieceEnd();
    return appended;
}

// Adds bytes behind the output; each time it is full it is written whole.
CParallelDeflate::T_RESULT CParallelDeflate::Append(const uint8_t* pData, uint32_t nCount)
{
    while (nCount > 0) {
        const uint32_t n = std::min(OUTPUT_SIZE - m_nOutput, nCount);
        std::memcpy(m_pOutput.get() + m_nOutput, pData, n);
        m_nOutput += n;
        pData += n;
        nCount -= n;
        if (m_nOutput == OUTPUT_SIZE) {
            const T_RESULT written = WriteOutput(OUTPUT_SIZE);
            if (!written.bOk) return written;
        }
    }
    return Ok();
}

// Writes the first nBytes of the output at the running file offset, going
// on after a short write; a write that fails or stores nothing ends it.
CParallelDeflate::T_RESULT CParallelDeflate::WriteOutput(uint32_t nBytes)
{
    const uint8_t* p = m_pOutput.get();
    while (nBytes > 0) {
        const T_IO_RESULT io = m_pFile->WriteAt(m_nFileBytes, p, nBytes);
        if (!io.bOk) return Fail(Z_ERRNO, io.nError);
        if (io.nCount == 0 || io.nCount > nBytes) return Fail(Z_ERRNO, SystemError::IoError());
        p += io.nCount;
        nBytes -= io.nCount;
        m_nFileBytes += io.nCount;
    }
    m_nOutput = 0;
    return Ok();
}
