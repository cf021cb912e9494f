#pragma once
// The reading side of the xz decoder: reads the file strictly in order in
// 1 MiB pieces and walks its container (stream header, blocks, index,
// stream footer, stream padding, the next stream), queuing each block with
// its compressed bytes on the scheduler for a worker, and verifying the
// index against the blocks and the footer against the header. A block
// whose header does not record its sizes cannot be stepped over: it is
// queued as one the reader decodes itself once it is the head, and the
// walk goes on behind it. Runs on the thread that takes the image out.
#include <memory>

#include "engine/codecs/xz_block_scheduler.h"
#include "engine/device/device.h"

class CXzContainerReader {
public:
    static constexpr size_t PIECE = 0x100000;

    CXzContainerReader(IDevice& file, const T_LZMA_ENTRY_POINTS& lzma, CXzBlockScheduler& scheduler);
    ~CXzContainerReader();
    CXzContainerReader(const CXzContainerReader&) = delete;
    CXzContainerReader& operator=(const CXzContainerReader&) = delete;

    // One step of the walk: a piece read, a header decoded, bytes handed to
    // a block. False when no step can be taken now (the budget is spent, a
    // block of its own is waiting to be decoded) or ever (the walk ended).
    bool Step();
    // Decodes the block the walk stopped at into pOut; bEnded once it has
    // ended and the walk goes on. A failure ends the walk.
    T_DECODE_RESULT DecodeInline(uint8_t* pOut, size_t nOut, size_t& nMade, bool& bEnded);
    uint64_t FileBytes() const { return m_nFileBytes; }

private:
    enum class EState {
        StreamHeader, BlockStart, BlockHeader, BlockData, Inline, Index, Footer, Padding, NextStream, Done
    };

    bool StepAtEndOfFile();
    bool StepStreamHeader();
    bool StepBlockHeader();
    bool StepBlockData();
    bool StepIndex();
    bool StepFooter();
    bool StepPadding();
    bool StartInline();
    bool Gather(size_t nWant);
    bool GatheredMagic() const;
    size_t Avail() const { return m_nPieceLen - m_nPiecePos; }
    bool ReadPiece();
    bool Fail(const T_DECODE_RESULT& failure);
    void EndIndexHash();

    IDevice& m_file;
    const T_LZMA_ENTRY_POINTS& m_lzma;
    CXzBlockScheduler& m_scheduler;
    EState m_eState = EState::StreamHeader;
    T_DECODE_RESULT m_failure;  // why the walk ended, when it failed

    std::unique_ptr<uint8_t[]> m_pPiece;
    size_t m_nPieceLen = 0;
    size_t m_nPiecePos = 0;
    uint64_t m_nFileBytes = 0;
    bool m_bFileEnded = false;

    uint8_t m_gathered[1024] = {};  // a header or footer, gathered across pieces
    size_t m_nGathered = 0;
    size_t m_nWant = 0;
    T_LZMA_STREAM_FLAGS m_flags;  // the current stream's header
    T_LZMA_INDEX_HASH* m_pIndexHash = nullptr;
    uint64_t m_nBlockLeft = 0;  // compressed bytes of the block being handed over
    uint64_t m_nPadding = 0;

    CXzBlockScheduler::T_BLOCK_HEADER m_header;  // the block being parsed, or decoded here
    T_LZMA_STREAM m_inline;
    bool m_bInlineStarted = false;
};
