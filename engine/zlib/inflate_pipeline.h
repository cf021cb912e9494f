#pragma once
// A compressed image read by three threads, so that inflating runs at the
// full speed of one core: one reads the file ahead in large pieces, one
// only inflates, and the caller's thread takes the data out in blocks of
// any length and, for a gzip member, checks its CRC-32 and length against
// the trailer as it goes. What the caller gets, failures included, is what
// CZLIBIO's reading gives for the same file: the same data, block lengths
// and zlib results (a truncated stream, damaged data, a failed check or
// anything behind the member), reported at the same blocks.
//
// A gzip member's header is parsed here and its data inflated raw when the
// library has crc32; any other file (a zlib stream, or a library without
// crc32) is left to zlib's own header detection and checks on the inflating
// thread. Pieces of the file and inflated blocks come from two fixed pools.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "engine/core/fixed_buffer.h"
#include "engine/core/queue.h"
#include "engine/device/device.h"
#include "engine/zlib/zlib_io.h"

class CInflatePipeline {
public:
    using T_RESULT = CZLIBIO::T_RESULT;

    static constexpr uint32_t PIECE_SIZE = 0x400000;  // the file is read 4 MiB at a time
    static constexpr uint32_t PIECES = 3;
    static constexpr uint32_t BLOCK_SIZE = 0x100000;  // inflated data travel in 1 MiB blocks
    static constexpr uint32_t BLOCKS = 6;

    CInflatePipeline() = default;
    virtual ~CInflatePipeline();
    CInflatePipeline(const CInflatePipeline&) = delete;
    CInflatePipeline& operator=(const CInflatePipeline&) = delete;

    // Starts reading file from offset 0, and inflating it; pZlib must stay
    // bound and file open until Stop. False (and nothing runs) when there
    // is no library, no memory or no thread for it.
    bool Start(IDevice& file, const T_ZLIB_ENTRY_POINTS* pZlib);
    // As CZLIBIO::ReadCompressFile: the next nLength (> 0) bytes of the
    // image; nProduced is less only at its end, and 0 after it.
    T_RESULT Read(void* pBlock, uint32_t nLength, uint32_t& nProduced);
    // Stops both threads and frees the pools. Safe on every path; the
    // destructor calls it too.
    void Stop();

    // The CRC-32 was checked off the inflating thread (for tests).
    bool ChecksOwnCrc() const { return m_bOwnCheck; }

private:
    enum class EState { Idle, Open, Finished, Failed };
    static uint8_t* EndMark();

    T_RESULT Fail(int nZlibResult, uint32_t nError = 0);
    T_RESULT Ok() const { return T_RESULT{true, 0, 0}; }
    T_RESULT TakeBlock();
    T_RESULT CheckTrailer();

    // The file reader's and the inflater's threads (inflate_pipeline_threads.cpp).
    void FileReaderThread();
    uint32_t ReadPiece(uint64_t nPos, uint8_t* pPiece, uint32_t& nError);
    void InflaterThread();
    void InflateStream(z_stream_s& s, bool bRaw);
    T_RESULT NextBlock(z_stream_s& s, uint8_t*& pBlock);
    T_RESULT NextInput(z_stream_s& s);
    T_RESULT NextByte(z_stream_s& s, uint8_t& b);
    T_RESULT SkipGzipHeader(z_stream_s& s);
    T_RESULT ReadTrailer(z_stream_s& s);
    T_RESULT CheckNothingFollows(z_stream_s& s);
    void EndOutput(uint8_t* pBlock, uint32_t nFilled, const T_RESULT& result);

    const T_ZLIB_ENTRY_POINTS* m_pZlib = nullptr;
    IDevice* m_pFile = nullptr;
    std::unique_ptr<CFixedBuffer> m_pPieces;
    std::unique_ptr<CFixedBuffer> m_pBlocks;
    std::unique_ptr<CQueue> m_pInput;   // file pieces; 0 bytes: the file's end; null: a failed read
    std::unique_ptr<CQueue> m_pOutput;  // inflated blocks; then EndMark(), or null on a failure
    std::thread m_reader;
    std::thread m_inflater;

    // Handed on with the queues: written before the item that announces
    // them is put, read after it is taken.
    uint32_t m_nReadError = 0;  // the failed file read's error code
    T_RESULT m_failure{};       // why the inflater gave up
    uint8_t m_trailer[8] = {};  // a raw-inflated member's trailer
    bool m_bOwnCheck = false;   // the caller checks the CRC-32 and length

    // The inflater's own: the piece being inflated and whether the file ended.
    uint8_t* m_pPiece = nullptr;
    bool m_bFileEnded = false;

    // The caller's own.
    EState m_eState = EState::Idle;
    uint8_t* m_pBlock = nullptr;  // the block being taken out
    uint32_t m_nBlock = 0;
    uint32_t m_nTaken = 0;
    uint32_t m_nCrc = 0;
    uint64_t m_nDataBytes = 0;
};
