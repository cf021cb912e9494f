#pragma once
// xz images, decoded block by block on worker threads of our own within one
// memory budget (xz_block_scheduler.h), over liblzma's block-level calls.
// The file is read in order by the thread that calls Read
// (xz_container_reader.h), which also hands the decoded bytes out in order.
#include "engine/codecs/xz_block_scheduler.h"
#include "engine/codecs/xz_container_reader.h"

class CXzDecoder final : public IImageDecoder {
public:
    // limits: the budget and the worker count (tests make them small).
    CXzDecoder(IDevice& file, const T_LZMA_ENTRY_POINTS& lzma, const T_XZ_LIMITS& limits = {});

    T_DECODE_RESULT Read(void* pBlock, uint32_t nLength, uint32_t& nProduced) override;
    uint64_t CompressedBytes() const override { return m_reader.FileBytes(); }
    T_XZ_STATS Stats() const { return m_scheduler.Stats(); }

private:
    enum class EState { Open, Finished, Failed };
    T_DECODE_RESULT Fill(uint8_t* pOut, size_t nOut, size_t& nMade);
    void ReadAhead();

    CXzBlockScheduler m_scheduler;  // first in, last out: its workers outlive the reader
    CXzContainerReader m_reader;
    EState m_eState = EState::Open;
};
