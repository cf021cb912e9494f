#pragma once
// What the decoders of the three libraries share: the file read in 1 MiB
// pieces, strictly in order, into one input buffer; the caller's block as
// the output; and the loop that calls the library until the block is full
// or the image has ended. Each library's decoder says only what one call of
// its library does (Step).
#include <memory>

#include "engine/codecs/image_decoder.h"

class CStreamDecoder : public IImageDecoder {
public:
    static constexpr uint32_t INPUT_SIZE = 0x100000;

    T_DECODE_RESULT Read(void* pBlock, uint32_t nLength, uint32_t& nProduced) final;
    uint64_t CompressedBytes() const final { return m_nFileBytes; }

protected:
    explicit CStreamDecoder(IDevice& file);

    // The input left and the output room, advanced by each step.
    struct T_BUFFERS {
        const uint8_t* pIn = nullptr;
        size_t nIn = 0;
        uint8_t* pOut = nullptr;
        size_t nOut = 0;
    };
    enum class EStep { More, End, Failed };

    // One call of the library. bFileEnded: no input comes after io.pIn.
    // More: call again (a step that moves nothing once the file has ended
    // means the file was cut short); End: the image is whole and nothing
    // follows it; Failed: failure says why.
    virtual EStep Step(T_BUFFERS& io, bool bFileEnded, T_DECODE_RESULT& failure) = 0;

    static T_DECODE_RESULT Failure(EDecodeFailure eFailure, std::string strDetail = {});

private:
    enum class EState { Open, Finished, Failed };
    T_DECODE_RESULT FillInput(T_BUFFERS& io);

    IDevice& m_file;
    std::unique_ptr<uint8_t[]> m_pInput;
    const uint8_t* m_pNext = nullptr;  // the input not yet taken by the library
    size_t m_nAvail = 0;
    uint64_t m_nFileBytes = 0;
    bool m_bFileEnded = false;
    EState m_eState = EState::Open;
};
