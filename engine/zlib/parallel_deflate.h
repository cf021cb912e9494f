#pragma once
// A compressed image written by several threads at once, yet still exactly
// one gzip member, byte-compatible with every gzip reader. The data are cut
// into chunks of 128 KiB; each worker compresses a chunk as raw deflate at
// level 6, primed with the 32 KiB in front of it as dictionary, and ends it
// on a byte boundary (a sync flush) without a final block, except the
// stream's last chunk, which finishes it. The pieces are written in order
// behind the library's own gzip header, and the chunks' CRC-32 values are
// joined into the trailer.
//
// The calling thread copies the data into chunks, hands them to the workers
// and writes the finished pieces in order, 1 MiB at a time; chunks in
// flight come from a fixed pool of slots, so memory stays bounded and the
// caller waits when every slot is taken. The calls and their results are
// those of CZLIBIO's writing (InitWrite, WriteCompressFile, CommitWrite,
// Release), and the file is written strictly in order, as there.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/fixed_buffer.h"
#include "engine/core/queue.h"
#include "engine/device/device.h"
#include "engine/zlib/gzip_member.h"
#include "engine/zlib/zlib_io.h"

class CParallelDeflate {
public:
    using T_RESULT = CZLIBIO::T_RESULT;

    static constexpr uint32_t CHUNK_SIZE = 0x20000;  // 128 KiB of data per chunk
    static constexpr uint32_t MAX_WORKERS = 64;
    static constexpr uint32_t SLOTS_PER_WORKER = 8;
    // Room for one chunk's piece: a sync-flushed piece of level 6 is at most
    // a few dozen bytes longer than its data (stored blocks, the flush
    // marker), so the slack is ample.
    static constexpr uint32_t PIECE_ROOM = CHUNK_SIZE + 0x1000;

    CParallelDeflate() = default;
    virtual ~CParallelDeflate();
    CParallelDeflate(const CParallelDeflate&) = delete;
    CParallelDeflate& operator=(const CParallelDeflate&) = delete;

    // The entry points the library lacks for this, as a list of names
    // ("deflateSetDictionary, crc32"); empty when it has them all.
    static std::string MissingEntryPoints(const T_ZLIB_ENTRY_POINTS* pZlib);

    // Starts a member into file with nWorkers threads (1 to MAX_WORKERS);
    // pZlib must stay bound and file open until Release. Fails with
    // Z_VERSION_ERROR when the library lacks an entry point this needs,
    // Z_MEM_ERROR when the slots or the threads cannot be had; nothing is
    // written then, and the caller may write the sequential stream instead.
    T_RESULT Init(IDevice& file, const T_ZLIB_ENTRY_POINTS* pZlib, uint32_t nWorkers);
    // Takes nCount bytes of data; full pieces are written as they are ready.
    T_RESULT WriteCompressFile(const void* pData, uint32_t nCount);
    // Finishes the member: the last chunk, every piece, the trailer.
    T_RESULT CommitWrite();
    // After a write of the file failed (a full file system, say): ends the
    // member behind the last piece that is wholly in the file, with an
    // empty final block and the trailer of the data in front of it, cutting
    // the file there; when those 13 bytes do not fit, an earlier piece's end
    // is tried. The member then holds the first DataBytes() bytes of the
    // data. Fails when no piece's end (nor the header's) takes them.
    T_RESULT CommitWritten();
    // Stops the workers (a chunk being compressed is finished first) and
    // frees the slots. Safe on every path; the destructor calls it too.
    void Release();

    uint32_t WorkerCount() const { return static_cast<uint32_t>(m_workers.size()); }
    uint64_t CompressedBytes() const { return m_nFileBytes; }
    // Bytes of data in the pieces written so far; after a commit, the data
    // the member holds.
    uint64_t DataBytes() const { return m_nDataBytes; }

private:
    // A slot of the pool: this record, the dictionary (the 32 KiB in front
    // of the chunk), the chunk's data and room for its compressed piece.
    struct T_CHUNK {
        uint64_t nSeq;   // the chunk's number in the stream
        uint32_t nDict;  // dictionary bytes right in front of the data
        uint32_t nData;
        bool bLast;      // finishes the stream
        int nResult;     // the worker's verdict: Z_OK, or zlib's failure
        uint32_t nOut;   // bytes of the compressed piece
        uint32_t nCrc;   // CRC-32 of the chunk's data
    };
    static T_CHUNK& ChunkOf(uint8_t* pSlot) { return *reinterpret_cast<T_CHUNK*>(pSlot); }
    static uint8_t* DataOf(uint8_t* pSlot);
    static uint8_t* PieceOf(uint8_t* pSlot);
    enum class EState { Idle, Open, Finished, Failed };

    bool BuildSlots(uint32_t nWorkers);
    bool StartWorkers(uint32_t nWorkers);
    T_RESULT Ok() const { return T_RESULT{true, 0, 0}; }
    T_RESULT Fail(int nZlibResult, uint32_t nError = 0);
    T_RESULT TakeSlot(uint8_t*& pSlot);
    T_RESULT Dispatch(bool bLast);
    T_RESULT Collect(bool bWait);
    T_RESULT WritePiece(uint8_t* pSlot);
    T_RESULT Append(const uint8_t* pData, uint32_t nCount);
    T_RESULT WriteOutput(uint32_t nBytes);
    void NotePieceEnd();
    bool EndAt(uint64_t nFileEnd, uint32_t nCrc, uint64_t nDataBytes);

    void WorkerThread();
    int CompressChunk(z_stream_s& s, T_CHUNK& chunk);

    const T_ZLIB_ENTRY_POINTS* m_pZlib = nullptr;
    IDevice* m_pFile = nullptr;
    EState m_eState = EState::Idle;
    std::unique_ptr<CFixedBuffer> m_pSlots;
    std::unique_ptr<CQueue> m_pJobs;  // chunks for the workers, in order
    std::unique_ptr<CQueue> m_pDone;  // compressed chunks, in any order
    std::vector<std::thread> m_workers;

    // The calling thread's own state.
    uint32_t m_nSlots = 0;
    uint32_t m_nHeld = 0;         // slots taken from the pool and not yet given back
    uint8_t* m_pFilling = nullptr;  // the chunk that takes data now
    uint64_t m_nNextSeq = 0;      // the number of the next chunk to start
    uint64_t m_nNextPiece = 0;    // the number of the next piece to write
    std::vector<uint8_t*> m_arrFinished;  // compressed chunks by number modulo m_nSlots
    std::unique_ptr<uint8_t[]> m_pDict;   // the tail of the last chunk handed out
    uint32_t m_nCrc = 0;
    uint64_t m_nDataBytes = 0;
    std::unique_ptr<uint8_t[]> m_pOutput;  // the next 1 MiB of the file
    uint32_t m_nOutput = 0;
    uint64_t m_nFileBytes = 0;
    // Where the member could end early: the ends of the header and of the
    // recent pieces in the file, with the data in front of each.
    struct T_PIECE_END {
        uint64_t nFileEnd;
        uint64_t nDataBytes;
        uint32_t nCrc;
    };
    std::deque<T_PIECE_END> m_arrEnds;
};
