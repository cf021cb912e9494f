// xz images: the container is walked here and every block is decoded whole
// by liblzma's block decoder. A file written in blocks that record their
// sizes (xz -T) is decoded on up to one worker thread per core (at most
// four), as many blocks at once as the budget holds (56 MiB, so that the
// program stays within 64 MiB beside its block pool): each worker's
// decoder and dictionary, and the bytes waiting in and out. The block
// whose bytes are handed out next may go beyond that alone, so a file
// whose every block needs more (xz -9's 64 MiB dictionary) decodes one
// block at a time. A block without its sizes (single-threaded xz) is decoded on
// this thread when its turn comes. Several streams one after another, with
// their padding, are one image, as xz -d takes them; every block's check
// value and sizes, every stream's index and footer are verified, and bytes
// after the last stream that are not padding are a failure.
#include "engine/codecs/xz_decoder.h"

#include <new>

#include "engine/codecs/codec_decoders.h"

namespace {

// Steps of the walk taken after each piece of output handed out, so that
// the blocks behind the head keep their input while the head is drained.
constexpr int READ_AHEAD_STEPS = 4;

}  // namespace

CXzDecoder::CXzDecoder(IDevice& file, const T_LZMA_ENTRY_POINTS& lzma, const T_XZ_LIMITS& limits)
    : m_scheduler(lzma, limits), m_reader(file, lzma, m_scheduler)
{
}

T_DECODE_RESULT CXzDecoder::Read(void* pBlock, uint32_t nLength, uint32_t& nProduced)
{
    nProduced = 0;
    if (m_eState == EState::Failed) return T_DECODE_RESULT{false, EDecodeFailure::Unusable, 0, {}};
    if (m_eState == EState::Finished) return T_DECODE_RESULT{};
    size_t nMade = 0;
    T_DECODE_RESULT result;
    try {
        result = Fill(static_cast<uint8_t*>(pBlock), nLength, nMade);
    } catch (const std::bad_alloc&) {
        result = T_DECODE_RESULT{false, EDecodeFailure::NoMemory, 0, {}};
    }
    nProduced = static_cast<uint32_t>(nMade);
    if (!result.bOk) m_eState = EState::Failed;
    return result;
}

// Hands out the head's bytes until pOut is full or the image has ended,
// walking the file on whenever the head has nothing yet.
T_DECODE_RESULT CXzDecoder::Fill(uint8_t* pOut, size_t nOut, size_t& nMade)
{
    while (nMade < nOut) {
        const uint64_t nSeen = m_scheduler.Changes();
        size_t nTaken = 0;
        T_DECODE_RESULT failure;
        switch (m_scheduler.Take(pOut + nMade, nOut - nMade, nTaken, failure)) {
        case CXzBlockScheduler::EHead::Bytes:
            nMade += nTaken;
            ReadAhead();
            break;
        case CXzBlockScheduler::EHead::Inline: {
            bool bEnded = false;
            failure = m_reader.DecodeInline(pOut + nMade, nOut - nMade, nTaken, bEnded);
            nMade += nTaken;
            if (!failure.bOk) return failure;
            break;
        }
        case CXzBlockScheduler::EHead::Waiting:
            if (!m_reader.Step()) m_scheduler.WaitForChange(nSeen);
            break;
        case CXzBlockScheduler::EHead::End: m_eState = EState::Finished; return T_DECODE_RESULT{};
        case CXzBlockScheduler::EHead::Failed: return failure;
        }
    }
    return T_DECODE_RESULT{};
}

void CXzDecoder::ReadAhead()
{
    for (int i = 0; i < READ_AHEAD_STEPS && m_reader.Step(); ++i) {}
}

std::unique_ptr<IImageDecoder> MakeXzDecoder(IDevice& file, const T_LZMA_ENTRY_POINTS& lzma,
                                             T_DECODE_RESULT& failure)
{
    failure = T_DECODE_RESULT{};
    return std::make_unique<CXzDecoder>(file, lzma);
}
