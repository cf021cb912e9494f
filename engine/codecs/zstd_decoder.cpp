// zstd images: ZSTD_decompressStream over the whole file, which may hold
// several frames one after another (zstd -T writes one, concatenated files
// several) and skippable frames, as zstd -d accepts them. A frame that
// carries a checksum is checked; the image must end where a frame ends.
#include "engine/codecs/codec_decoders.h"
#include "engine/codecs/stream_decoder.h"

namespace {

class CZstdDecoder final : public CStreamDecoder {
public:
    CZstdDecoder(IDevice& file, const T_ZSTD_ENTRY_POINTS& zstd)
        : CStreamDecoder(file), m_zstd(zstd), m_pContext(zstd.ZSTD_createDCtx())
    {
    }
    ~CZstdDecoder() override { m_zstd.ZSTD_freeDCtx(m_pContext); }
    CZstdDecoder(const CZstdDecoder&) = delete;
    CZstdDecoder& operator=(const CZstdDecoder&) = delete;

    bool Started() const { return m_pContext != nullptr; }

private:
    EStep Step(T_BUFFERS& io, bool bFileEnded, T_DECODE_RESULT& failure) override
    {
        if (bFileEnded && io.nIn == 0 && m_bBetweenFrames) return EStep::End;
        T_ZSTD_IN_BUFFER in{io.pIn, io.nIn, 0};
        T_ZSTD_OUT_BUFFER out{io.pOut, io.nOut, 0};
        const size_t nResult = m_zstd.ZSTD_decompressStream(m_pContext, &out, &in);
        io.pIn += in.pos;
        io.nIn -= in.pos;
        io.pOut += out.pos;
        io.nOut -= out.pos;
        if (m_zstd.ZSTD_isError(nResult)) {
            failure = FailureOf(nResult);
            return EStep::Failed;
        }
        // 0: a frame has ended and all of its data are out.
        m_bBetweenFrames = nResult == 0;
        m_bAnyFrame = m_bAnyFrame || m_bBetweenFrames;
        return EStep::More;
    }

    T_DECODE_RESULT FailureOf(size_t nResult) const
    {
        const int nCode = m_zstd.ZSTD_getErrorCode(nResult);
        const char* pszName = m_zstd.ZSTD_getErrorName(nResult);
        if (nCode == Zstd::PREFIX_UNKNOWN)
            return Failure(m_bAnyFrame ? EDecodeFailure::Trailing : EDecodeFailure::NotThisFormat);
        if (nCode == Zstd::MEMORY_ALLOCATION) return Failure(EDecodeFailure::NoMemory);
        return Failure(EDecodeFailure::Damaged, pszName ? pszName : "");
    }

    const T_ZSTD_ENTRY_POINTS& m_zstd;
    T_ZSTD_DCTX* m_pContext;
    bool m_bBetweenFrames = true;  // no frame is half read
    bool m_bAnyFrame = false;      // a frame has ended
};

}  // namespace

std::unique_ptr<IImageDecoder> MakeZstdDecoder(IDevice& file, const T_ZSTD_ENTRY_POINTS& zstd,
                                               T_DECODE_RESULT& failure)
{
    auto pDecoder = std::make_unique<CZstdDecoder>(file, zstd);
    if (pDecoder->Started()) return pDecoder;
    failure = T_DECODE_RESULT{false, EDecodeFailure::NoMemory, 0, {}};
    return nullptr;
}
