// xz images: liblzma's multi-threaded stream decoder, which decodes the
// blocks of a file written in several blocks (xz -T) on several threads
// and any other file on this one, and accepts several xz streams one after
// another (with their padding), as xz -d does. The check value of every
// block and the index are verified; a mismatch is LZMA_DATA_ERROR.
#include <algorithm>
#include <thread>

#include "engine/codecs/codec_decoders.h"
#include "engine/codecs/stream_decoder.h"
#include "engine/core/format.h"

namespace {

// The threads decode together at most this much memory; a file whose
// blocks need more (a large dictionary) is decoded on one thread, however
// much that one needs.
constexpr uint64_t THREADING_MEMORY_LIMIT = 64ull << 20;

class CXzDecoder final : public CStreamDecoder {
public:
    CXzDecoder(IDevice& file, const T_LZMA_ENTRY_POINTS& lzma) : CStreamDecoder(file), m_lzma(lzma) {}
    ~CXzDecoder() override { m_lzma.lzma_end(&m_stream); }
    CXzDecoder(const CXzDecoder&) = delete;
    CXzDecoder& operator=(const CXzDecoder&) = delete;

    T_DECODE_RESULT Start()
    {
        T_LZMA_MT mt;
        mt.flags = Lzma::CONCATENATED;
        mt.threads = std::max(1u, std::thread::hardware_concurrency());
        mt.timeout = 0;  // wait for the threads as long as it takes
        mt.memlimit_threading = THREADING_MEMORY_LIMIT;
        mt.memlimit_stop = UINT64_MAX;
        const int nResult = m_lzma.lzma_stream_decoder_mt(&m_stream, &mt);
        return nResult == Lzma::OK ? T_DECODE_RESULT{} : FailureOf(nResult);
    }

private:
    EStep Step(T_BUFFERS& io, bool bFileEnded, T_DECODE_RESULT& failure) override
    {
        m_stream.next_in = io.pIn;
        m_stream.avail_in = io.nIn;
        m_stream.next_out = io.pOut;
        m_stream.avail_out = io.nOut;
        const int nResult = m_lzma.lzma_code(&m_stream, bFileEnded ? Lzma::FINISH : Lzma::RUN);
        io.pIn = m_stream.next_in;
        io.nIn = m_stream.avail_in;
        io.pOut = m_stream.next_out;
        io.nOut = m_stream.avail_out;
        if (nResult == Lzma::OK) return EStep::More;
        if (nResult == Lzma::STREAM_END) return EStep::End;
        failure = FailureOf(nResult);
        return EStep::Failed;
    }

    static T_DECODE_RESULT FailureOf(int nResult)
    {
        switch (nResult) {
        case Lzma::MEM_ERROR:
        case Lzma::MEMLIMIT_ERROR: return Failure(EDecodeFailure::NoMemory);
        case Lzma::FORMAT_ERROR: return Failure(EDecodeFailure::NotThisFormat);
        case Lzma::OPTIONS_ERROR: return Failure(EDecodeFailure::Damaged, "options this liblzma does not support");
        case Lzma::DATA_ERROR:
            return Failure(EDecodeFailure::Damaged, "a check value does not match, the data break the format's "
                                                    "rules, or bytes that are not xz follow the last stream");
        case Lzma::BUF_ERROR: return Failure(EDecodeFailure::Truncated);
        default: return Failure(EDecodeFailure::Damaged, FormatText("liblzma error %d", nResult));
        }
    }

    const T_LZMA_ENTRY_POINTS& m_lzma;
    T_LZMA_STREAM m_stream;
};

}  // namespace

std::unique_ptr<IImageDecoder> MakeXzDecoder(IDevice& file, const T_LZMA_ENTRY_POINTS& lzma,
                                             T_DECODE_RESULT& failure)
{
    auto pDecoder = std::make_unique<CXzDecoder>(file, lzma);
    failure = pDecoder->Start();
    if (!failure.bOk) return nullptr;
    return pDecoder;
}
