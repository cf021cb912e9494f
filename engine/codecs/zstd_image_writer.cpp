// zstd images: one frame of the drive's bytes with its content checksum,
// compressed by ZSTD_compressStream2 (on libzstd's own worker threads when
// asked for; the frame is the same kind of file either way), written in
// 1 MiB pieces strictly in order.
//
// A frame cut short by a full file system is ended behind the last block
// that is wholly in the file: the writer follows the block headers of
// everything it writes, so it knows where the recent blocks end; the file
// is cut there and an empty last block put behind it. The library gives no
// checksum of the data up to such a point, so the frame's checksum flag is
// cleared; the frame is then whole, and reading it back counts the bytes
// it holds.
#include <algorithm>
#include <deque>
#include <new>

#include "engine/codecs/codec_decoders.h"
#include "engine/codecs/codec_libraries.h"
#include "engine/codecs/compressed_image_writer.h"
#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/system_error.h"

namespace {

constexpr size_t OUTPUT_SIZE = 0x100000;
constexpr int JOB_SIZE = 0x400000;  // data per job of libzstd's workers
constexpr size_t HEADER_SIZE = 3;  // a block header: last flag, type, size
constexpr uint8_t EMPTY_LAST_BLOCK[HEADER_SIZE] = {0x01, 0x00, 0x00};  // raw, 0 bytes, last
constexpr uint8_t CHECKSUM_FLAG = 0x04;  // in the frame header descriptor, the frame's fifth byte
// How far in front of the file's end block ends are kept: cutting back that
// far frees whole blocks of any file system.
constexpr uint64_t KEEP_BEHIND = 0x40000;

T_IMAGE_WRITE_RESULT Failed(std::string strWhy, uint32_t nError = 0)
{
    return T_IMAGE_WRITE_RESULT{false, nError != 0 && SystemError::IsNoRoom(nError), nError, std::move(strWhy)};
}

// The frame header's length, from its first five bytes.
uint64_t FrameHeaderSize(uint8_t nDescriptor)
{
    constexpr uint64_t DICT_ID_SIZE[4] = {0, 1, 2, 4};
    const bool bSingleSegment = (nDescriptor & 0x20) != 0;
    const unsigned nContentFlag = nDescriptor >> 6;
    const uint64_t nContentSize = nContentFlag == 0 ? (bSingleSegment ? 1 : 0) : (1u << nContentFlag);
    return 5 + (bSingleSegment ? 0 : 1) + DICT_ID_SIZE[nDescriptor & 3] + nContentSize;
}

class CZstdImageWriter final : public ICompressedImageWriter {
public:
    CZstdImageWriter(IDevice& file, const T_ZSTD_ENTRY_POINTS& zstd, PFN_OPEN_WRITTEN fnReopen)
        : m_file(file), m_zstd(zstd), m_fnReopen(std::move(fnReopen))
    {
    }
    ~CZstdImageWriter() override { Release(); }
    CZstdImageWriter(const CZstdImageWriter&) = delete;
    CZstdImageWriter& operator=(const CZstdImageWriter&) = delete;

    T_IMAGE_WRITE_RESULT Start(const T_ZSTD_WRITE_SETTINGS& settings)
    {
        m_nOutputSize = std::max(OUTPUT_SIZE, m_zstd.ZSTD_CStreamOutSize());
        m_pOutput.reset(new (std::nothrow) uint8_t[m_nOutputSize]);
        m_pContext = m_zstd.ZSTD_createCCtx();
        if (!m_pOutput || !m_pContext) return Failed("out of memory.\n");
        for (const auto& [nParam, nValue] : {std::pair{Zstd::C_COMPRESSION_LEVEL, settings.nLevel},
                                            std::pair{Zstd::C_CHECKSUM_FLAG, 1}}) {
            const size_t nResult = m_zstd.ZSTD_CCtx_setParameter(m_pContext, nParam, nValue);
            if (m_zstd.ZSTD_isError(nResult)) return LibraryFailure(nResult);
        }
        // A library built without threads refuses workers: it compresses
        // here. Jobs of 4 MiB keep the workers' buffers to about the pool's
        // size (the default of the low levels is twice that), for a few
        // tenths of a per cent of size.
        uint32_t nWorkers = settings.nWorkers;
        if (nWorkers > 0 && m_zstd.ZSTD_isError(m_zstd.ZSTD_CCtx_setParameter(m_pContext, Zstd::C_NB_WORKERS,
                                                                               static_cast<int>(nWorkers)))) {
            nWorkers = 0;
        }
        if (nWorkers > 0) m_zstd.ZSTD_CCtx_setParameter(m_pContext, Zstd::C_JOB_SIZE, JOB_SIZE);
        DebugTrace(FormatText("CZstdImageWriter: level %d, %u workers\n", settings.nLevel, nWorkers));
        m_bOpen = true;
        return {};
    }

    T_IMAGE_WRITE_RESULT Write(const void* pData, uint32_t nCount) override
    {
        return Compress(pData, nCount, Zstd::E_CONTINUE);
    }
    T_IMAGE_WRITE_RESULT Commit() override { return Compress(nullptr, 0, Zstd::E_END); }
    bool CommitWritten() override;
    void Release() override
    {
        if (m_pContext) m_zstd.ZSTD_freeCCtx(m_pContext);  // its workers end with it
        m_pContext = nullptr;
        m_pOutput.reset();
        m_bOpen = false;
    }
    uint64_t CompressedBytes() const override { return m_nFileBytes; }
    uint64_t DataBytes() const override { return m_nDataBytes; }

private:
    T_IMAGE_WRITE_RESULT Compress(const void* pData, size_t nCount, int nEndOp);
    T_IMAGE_WRITE_RESULT WriteOutput();
    T_IMAGE_WRITE_RESULT LibraryFailure(size_t nResult)
    {
        m_bOpen = false;
        if (m_zstd.ZSTD_getErrorCode(nResult) == Zstd::MEMORY_ALLOCATION) return Failed("out of memory.\n");
        return Failed(FormatText("the zstd library failed: %s.\n", m_zstd.ZSTD_getErrorName(nResult)));
    }
    void FollowBlocks(const uint8_t* pBytes, size_t nCount);
    bool EndAt(uint64_t nEnd);
    bool CountData();

    IDevice& m_file;
    const T_ZSTD_ENTRY_POINTS& m_zstd;
    PFN_OPEN_WRITTEN m_fnReopen;
    T_ZSTD_CCTX* m_pContext = nullptr;
    std::unique_ptr<uint8_t[]> m_pOutput;
    size_t m_nOutputSize = 0;
    size_t m_nOutput = 0;  // bytes of output waiting in m_pOutput
    uint64_t m_nFileBytes = 0;
    uint64_t m_nDataBytes = 0;
    bool m_bOpen = false;  // started, not ended, not failed
    // Following the blocks of the output (the file offsets of what is in
    // m_pOutput start at m_nFileBytes).
    uint8_t m_nDescriptor = 0;
    uint64_t m_nNextHeader = 0;  // where the next block header starts; 0: the frame header is not yet seen
    uint8_t m_header[HEADER_SIZE] = {};
    size_t m_nHeaderHave = 0;
    bool m_bLastBlockSeen = false;
    std::deque<uint64_t> m_arrEnds;  // where recent blocks (or the frame header) end
};

// Until the block's input is taken (E_CONTINUE) or the frame has ended and
// is out (E_END); each full output buffer is written on the way.
T_IMAGE_WRITE_RESULT CZstdImageWriter::Compress(const void* pData, size_t nCount, int nEndOp)
{
    if (!m_bOpen) return Failed("the zstd stream is not usable.\n");
    T_ZSTD_IN_BUFFER in{pData, nCount, 0};
    for (;;) {
        T_ZSTD_OUT_BUFFER out{m_pOutput.get(), m_nOutputSize, m_nOutput};
        const size_t nLeft = m_zstd.ZSTD_compressStream2(m_pContext, &out, &in, nEndOp);
        m_nOutput = out.pos;
        if (m_zstd.ZSTD_isError(nLeft)) return LibraryFailure(nLeft);
        const bool bDone = nEndOp == Zstd::E_END ? nLeft == 0 : in.pos == in.size;
        if (m_nOutput == m_nOutputSize || (bDone && nEndOp == Zstd::E_END && m_nOutput > 0)) {
            const T_IMAGE_WRITE_RESULT written = WriteOutput();
            if (!written.bOk) return written;
        }
        if (bDone) break;
    }
    if (nEndOp == Zstd::E_END) m_bOpen = false;
    return {};
}

// A short write goes on with the rest; a write that fails, or stores
// nothing, ends the stream.
T_IMAGE_WRITE_RESULT CZstdImageWriter::WriteOutput()
{
    FollowBlocks(m_pOutput.get(), m_nOutput);
    size_t nDone = 0;
    while (nDone < m_nOutput) {
        const T_IO_RESULT io = m_file.WriteAt(m_nFileBytes, m_pOutput.get() + nDone,
                                              static_cast<uint32_t>(m_nOutput - nDone));
        const uint32_t nError = !io.bOk ? io.nError : SystemError::IoError();
        if (!io.bOk || io.nCount == 0 || io.nCount > m_nOutput - nDone) {
            m_bOpen = false;
            return Failed(GetSystemErrorText(nError), nError);
        }
        nDone += io.nCount;
        m_nFileBytes += io.nCount;
    }
    m_nOutput = 0;
    return {};
}

// Notes where each block of the output ends, reading the frame header's
// descriptor and each block's 3-byte header (which may straddle two
// pieces of output) as they pass.
void CZstdImageWriter::FollowBlocks(const uint8_t* pBytes, size_t nCount)
{
    const uint64_t nBase = m_nFileBytes;
    const uint64_t nEnd = nBase + nCount;
    if (m_nNextHeader == 0) {
        if (nBase != 0 || nCount < 5) return;
        m_nDescriptor = pBytes[4];
        m_nNextHeader = FrameHeaderSize(m_nDescriptor);
        m_arrEnds.push_back(m_nNextHeader);
    }
    while (!m_bLastBlockSeen) {
        for (; m_nHeaderHave < HEADER_SIZE && m_nNextHeader + m_nHeaderHave < nEnd; ++m_nHeaderHave)
            m_header[m_nHeaderHave] = pBytes[m_nNextHeader + m_nHeaderHave - nBase];
        if (m_nHeaderHave < HEADER_SIZE) break;
        const uint32_t nHeader = m_header[0] | (m_header[1] << 8) | (static_cast<uint32_t>(m_header[2]) << 16);
        const bool bRle = ((nHeader >> 1) & 3) == 1;
        m_nNextHeader += HEADER_SIZE + (bRle ? 1 : nHeader >> 3);
        m_nHeaderHave = 0;
        m_bLastBlockSeen = (nHeader & 1) != 0;
        if (!m_bLastBlockSeen) m_arrEnds.push_back(m_nNextHeader);  // the frame may end here
        while (m_arrEnds.size() > 1 && m_arrEnds[1] + KEEP_BEHIND <= nBase) m_arrEnds.pop_front();
    }
}

bool CZstdImageWriter::CommitWritten()
{
    m_bOpen = false;
    for (auto it = m_arrEnds.rbegin(); it != m_arrEnds.rend(); ++it) {
        if (*it > m_nFileBytes || !EndAt(*it)) continue;
        m_nFileBytes = *it + HEADER_SIZE;
        return CountData();
    }
    return false;
}

// Clears the checksum flag, cuts the file at nEnd and puts the empty last
// block there; false when a write or the cut fails.
bool CZstdImageWriter::EndAt(uint64_t nEnd)
{
    const uint8_t nDescriptor = m_nDescriptor & ~CHECKSUM_FLAG;
    uint32_t nError = 0;
    const T_IO_RESULT flag = m_file.WriteAt(4, &nDescriptor, 1);
    if (!flag.bOk || flag.nCount != 1 || !m_file.SetLength(nEnd, nError)) return false;
    const T_IO_RESULT io = m_file.WriteAt(nEnd, EMPTY_LAST_BLOCK, HEADER_SIZE);
    return io.bOk && io.nCount == HEADER_SIZE;
}

// Decodes the frame as it now stands in the file: the bytes it holds.
bool CZstdImageWriter::CountData()
{
    const std::unique_ptr<IDevice> pFile = m_fnReopen ? m_fnReopen() : nullptr;
    T_DECODE_RESULT result;
    const std::unique_ptr<IImageDecoder> pDecoder = pFile ? MakeZstdDecoder(*pFile, m_zstd, result) : nullptr;
    const std::unique_ptr<uint8_t[]> pBlock(new (std::nothrow) uint8_t[OUTPUT_SIZE]);
    if (!pDecoder || !pBlock) return false;
    uint32_t nGot = 0;
    do {
        result = pDecoder->Read(pBlock.get(), OUTPUT_SIZE, nGot);
        m_nDataBytes += nGot;
    } while (result.bOk && nGot > 0);
    return result.bOk;
}

}  // namespace

std::unique_ptr<ICompressedImageWriter> MakeZstdImageWriter(IDevice& file, const T_ZSTD_WRITE_SETTINGS& settings,
                                                            PFN_OPEN_WRITTEN fnReopen, T_IMAGE_WRITE_RESULT& failure)
{
    const std::string strUnwritable = FormatUnwritableReason(EImageFormat::Zstd);
    const T_ZSTD_ENTRY_POINTS* pZstd = ZstdEntryPoints();
    if (!strUnwritable.empty() || !pZstd) {
        failure = Failed(strUnwritable + ".\n");
        return nullptr;
    }
    auto pWriter = std::make_unique<CZstdImageWriter>(file, *pZstd, std::move(fnReopen));
    failure = pWriter->Start(settings);
    if (!failure.bOk) return nullptr;
    return pWriter;
}
