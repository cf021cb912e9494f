// bzip2 images: BZ2_bzDecompress, stream after stream: a file of several
// bzip2 streams one after another is accepted as bzip2 -d accepts it, and
// each stream's block and stream CRCs are checked. The image must end where
// a stream ends; anything else behind it is refused.
#include <algorithm>
#include <climits>

#include "engine/codecs/codec_decoders.h"
#include "engine/codecs/stream_decoder.h"
#include "engine/core/format.h"

namespace {

class CBzip2Decoder final : public CStreamDecoder {
public:
    CBzip2Decoder(IDevice& file, const T_BZIP2_ENTRY_POINTS& bzip2) : CStreamDecoder(file), m_bzip2(bzip2) {}
    ~CBzip2Decoder() override { EndStream(); }
    CBzip2Decoder(const CBzip2Decoder&) = delete;
    CBzip2Decoder& operator=(const CBzip2Decoder&) = delete;

    T_DECODE_RESULT StartStream()
    {
        EndStream();
        m_stream = T_BZ_STREAM{};
        const int nResult = m_bzip2.BZ2_bzDecompressInit(&m_stream, 0, 0);
        if (nResult != Bzip2::OK) return FailureOf(nResult);
        m_bStarted = true;
        return T_DECODE_RESULT{};
    }

private:
    EStep Step(T_BUFFERS& io, bool bFileEnded, T_DECODE_RESULT& failure) override
    {
        if (m_bStreamEnded) {
            if (io.nIn == 0) return bFileEnded ? EStep::End : EStep::More;
            failure = StartStream();  // another stream must follow
            if (!failure.bOk) return EStep::Failed;
            m_bStreamEnded = false;
        }
        m_stream.next_in = const_cast<char*>(reinterpret_cast<const char*>(io.pIn));
        m_stream.avail_in = static_cast<unsigned int>(std::min<size_t>(io.nIn, UINT_MAX));
        m_stream.next_out = reinterpret_cast<char*>(io.pOut);
        m_stream.avail_out = static_cast<unsigned int>(std::min<size_t>(io.nOut, UINT_MAX));
        const unsigned int nInBefore = m_stream.avail_in;
        const unsigned int nOutBefore = m_stream.avail_out;
        const int nResult = m_bzip2.BZ2_bzDecompress(&m_stream);
        io.pIn += nInBefore - m_stream.avail_in;
        io.nIn -= nInBefore - m_stream.avail_in;
        io.pOut += nOutBefore - m_stream.avail_out;
        io.nOut -= nOutBefore - m_stream.avail_out;
        if (nResult == Bzip2::OK) return EStep::More;
        if (nResult == Bzip2::STREAM_END) {
            m_bStreamEnded = true;
            ++m_nStreams;
            return EStep::More;
        }
        failure = FailureOf(nResult);
        return EStep::Failed;
    }

    T_DECODE_RESULT FailureOf(int nResult) const
    {
        switch (nResult) {
        case Bzip2::MEM_ERROR: return Failure(EDecodeFailure::NoMemory);
        case Bzip2::DATA_ERROR_MAGIC:
            return Failure(m_nStreams > 0 ? EDecodeFailure::Trailing : EDecodeFailure::NotThisFormat);
        case Bzip2::DATA_ERROR:
            return Failure(EDecodeFailure::Damaged, "a CRC does not match, or the data break the format's rules");
        default: return Failure(EDecodeFailure::Damaged, FormatText("libbz2 error %d", nResult));
        }
    }

    void EndStream()
    {
        if (m_bStarted) m_bzip2.BZ2_bzDecompressEnd(&m_stream);
        m_bStarted = false;
    }

    const T_BZIP2_ENTRY_POINTS& m_bzip2;
    T_BZ_STREAM m_stream;
    bool m_bStarted = false;
    bool m_bStreamEnded = false;  // between two streams
    uint64_t m_nStreams = 0;      // streams decoded whole
};

}  // namespace

std::unique_ptr<IImageDecoder> MakeBzip2Decoder(IDevice& file, const T_BZIP2_ENTRY_POINTS& bzip2,
                                                T_DECODE_RESULT& failure)
{
    auto pDecoder = std::make_unique<CBzip2Decoder>(file, bzip2);
    failure = pDecoder->StartStream();
    if (!failure.bOk) return nullptr;
    return pDecoder;
}
