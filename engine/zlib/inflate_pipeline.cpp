// The caller's side of the inflate pipeline: starting and stopping its
// threads, and taking the inflated data out in the caller's block lengths.
#include "engine/zlib/inflate_pipeline.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "engine/zlib/gzip_member.h"
#include "engine/zlib/zlib_binding.h"

// The item that ends the output of a whole stream: no pool block.
uint8_t* CInflatePipeline::EndMark()
{
    static uint8_t mark = 0;
    return &mark;
}

CInflatePipeline::~CInflatePipeline()
{
    Stop();
}

bool CInflatePipeline::Start(IDevice& file, const T_ZLIB_ENTRY_POINTS* pZlib)
{
    Stop();
    if (!pZlib) return false;
    m_pZlib = pZlib;
    m_pFile = &file;
    m_pPieces = std::make_unique<CFixedBuffer>();
    m_pBlocks = std::make_unique<CFixedBuffer>();
    // Every piece and block in flight has a queue slot, and so has the item
    // that ends the output.
    m_pInput = std::make_unique<CQueue>(PIECES);
    m_pOutput = std::make_unique<CQueue>(BLOCKS + 1);
    if (!m_pPieces->Create(PIECE_SIZE, PIECES) || !m_pBlocks->Create(BLOCK_SIZE, BLOCKS)) {
        Stop();
        return false;
    }
    m_eState = EState::Open;
    try {
        m_reader = std::thread(&CInflatePipeline::FileReaderThread, this);
        m_inflater = std::thread(&CInflatePipeline::InflaterThread, this);
    } catch (const std::system_error&) {
        Stop();
        return false;
    }
    return true;
}

void CInflatePipeline::Stop()
{
    for (CQueue* pQueue : {m_pInput.get(), m_pOutput.get()}) {
        if (pQueue) pQueue->Abort();
    }
    for (CFixedBuffer* pPool : {m_pPieces.get(), m_pBlocks.get()}) {
        if (pPool) pPool->Abort();
    }
    if (m_reader.joinable()) m_reader.join();
    if (m_inflater.joinable()) m_inflater.join();
    m_pInput.reset();
    m_pOutput.reset();
    m_pPieces.reset();
    m_pBlocks.reset();
    m_pZlib = nullptr;
    m_pFile = nullptr;
    m_nReadError = 0;
    m_failure = T_RESULT{};
    m_bOwnCheck = false;
    m_pPiece = nullptr;
    m_bFileEnded = false;
    m_eState = EState::Idle;
    m_pBlock = nullptr;
    m_nBlock = m_nTaken = 0;
    m_nCrc = 0;
    m_nDataBytes = 0;
}

CInflatePipeline::T_RESULT CInflatePipeline::Fail(int nZlibResult, uint32_t nError)
{
    m_eState = EState::Failed;
    return T_RESULT{false, nZlibResult, nError};
}

CInflatePipeline::T_RESULT CInflatePipeline::Read(void* pBlock, uint32_t nLength, uint32_t& nProduced)
{
    nProduced = 0;
    if (m_eState == EState::Finished) return Ok();
    if (m_eState != EState::Open) return Fail(Z_STREAM_ERROR);
    auto* pOut = static_cast<uint8_t*>(pBlock);
    while (nProduced < nLength) {
        if (!m_pBlock) {
            const T_RESULT taken = TakeBlock();
            if (!taken.bOk || m_eState == EState::Finished) return taken;
        }
        const uint8_t* pFrom = m_pBlock + m_nTaken;
        const uint32_t n = std::min(nLength - nProduced, m_nBlock - m_nTaken);
        std::memcpy(pOut + nProduced, pFrom, n);
        if (m_bOwnCheck) m_nCrc = static_cast<uint32_t>(m_pZlib->extra.crc32(m_nCrc, pFrom, n));
        m_nTaken += n;
        nProduced += n;
        if (m_nTaken == m_nBlock) {
            m_pBlocks->Free(m_pBlock);
            m_pBlock = nullptr;
        }
    }
    return Ok();
}

// The next inflated block; at the end of the stream the trailer's verdict.
CInflatePipeline::T_RESULT CInflatePipeline::TakeBlock()
{
    uint8_t* pData = nullptr;
    uint64_t nCount = 0;
    if (!m_pOutput->Get(pData, nCount)) return Fail(Z_STREAM_ERROR);
    if (!pData) return Fail(m_failure.nZlibResult, m_failure.nError);
    if (pData == EndMark()) {
        const T_RESULT checked = CheckTrailer();
        if (checked.bOk) m_eState = EState::Finished;
        return checked;
    }
    m_pBlock = pData;
    m_nBlock = static_cast<uint32_t>(nCount);
    m_nTaken = 0;
    m_nDataBytes += nCount;
    return Ok();
}

// A raw-inflated member's data must match its trailer: CRC-32 and length
// modulo 2^32, as zlib would have checked them.
CInflatePipeline::T_RESULT CInflatePipeline::CheckTrailer()
{
    if (!m_bOwnCheck) return Ok();
    const bool bMatch = LittleEndian32(m_trailer) == m_nCrc &&
                        LittleEndian32(m_trailer + 4) == static_cast<uint32_t>(m_nDataBytes);
    return bMatch ? Ok() : Fail(Z_DATA_ERROR);
}
