// A worker of the parallel deflate: compresses the chunks it is handed, one
// at a time, with a raw deflate stream of its own that it resets for each.
#include "engine/zlib/deflate_params.h"
#include "engine/zlib/parallel_deflate.h"
#include "engine/zlib/zlib_binding.h"

void CParallelDeflate::WorkerThread()
{
    z_stream s{};
    const int nInit = m_pZlib->deflateInit2_(&s, IMAGE_LEVEL, Z_DEFLATED, WINDOW_BITS_RAW, IMAGE_MEM_LEVEL,
                                             Z_DEFAULT_STRATEGY, ZLIB_VERSION, static_cast<int>(sizeof(z_stream)));
    uint8_t* pSlot = nullptr;
    uint64_t nSeq = 0;
    while (m_pJobs->Get(pSlot, nSeq)) {
        T_CHUNK& chunk = ChunkOf(pSlot);
        chunk.nResult = nInit == Z_OK ? CompressChunk(s, chunk) : nInit;
        if (!m_pDone->Put(pSlot, nSeq)) break;
    }
    if (nInit == Z_OK) m_pZlib->deflateEnd(&s);
}

// The chunk's piece: its data compressed against the dictionary, ended by
// a sync flush (byte-aligned, no final block) or, for the last chunk, by
// the final block. Z_OK, or the failing call's result.
int CParallelDeflate::CompressChunk(z_stream_s& s, T_CHUNK& chunk)
{
    const T_ZLIB_EXTRA_ENTRY_POINTS& x = m_pZlib->extra;
    uint8_t* pSlot = reinterpret_cast<uint8_t*>(&chunk);
    uint8_t* pData = DataOf(pSlot);
    int nResult = x.deflateReset(&s);
    if (nResult == Z_OK && chunk.nDict > 0) nResult = x.deflateSetDictionary(&s, pData - chunk.nDict, chunk.nDict);
    if (nResult != Z_OK) return nResult;
    s.next_in = pData;
    s.avail_in = chunk.nData;
    s.next_out = PieceOf(pSlot);
    s.avail_out = PIECE_ROOM;
    nResult = m_pZlib->deflate(&s, chunk.bLast ? Z_FINISH : Z_SYNC_FLUSH);
    chunk.nOut = PIECE_ROOM - s.avail_out;
    chunk.nCrc = static_cast<uint32_t>(x.crc32(0, pData, chunk.nData));
    if (chunk.bLast) return nResult == Z_STREAM_END ? Z_OK : (nResult == Z_OK ? Z_BUF_ERROR : nResult);
    if (nResult != Z_OK) return nResult;
    // A flush is complete only when it left room behind it.
    return s.avail_in == 0 && s.avail_out > 0 ? Z_OK : Z_BUF_ERROR;
}
