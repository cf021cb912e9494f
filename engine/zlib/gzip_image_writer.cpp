#include "engine/zlib/gzip_image_writer.h"

#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/system_error.h"
#include "engine/zlib/parallel_deflate.h"
#include "engine/zlib/zlib_binding.h"
#include "engine/zlib/zlib_failure.h"

namespace {

class CGzipImageWriter final : public ICompressedImageWriter {
public:
    CGzipImageWriter(IDevice& file, uint32_t nThreads)
    {
        if (nThreads > 1 && m_zlib.IsLoaded()) {
            const std::string strMissing = CParallelDeflate::MissingEntryPoints(m_zlib.EntryPoints());
            if (!strMissing.empty()) {
                DebugTrace(
                    FormatText("CParallelDeflate: the zlib library lacks %s; one sequential stream\n", strMissing));
            } else if (m_parallel.Init(file, m_zlib.EntryPoints(), nThreads).bOk) {
                m_bParallel = true;
                DebugTrace(FormatText("CParallelDeflate: %u threads\n", m_parallel.WorkerCount()));
            } else {
                DebugTrace("CParallelDeflate: no threads or memory for it; one sequential stream\n");
            }
        }
        if (!m_bParallel) m_zlib.InitWrite(file);
    }
    ~CGzipImageWriter() override { Release(); }
    CGzipImageWriter(const CGzipImageWriter&) = delete;
    CGzipImageWriter& operator=(const CGzipImageWriter&) = delete;

    T_IMAGE_WRITE_RESULT Write(const void* pData, uint32_t nCount) override
    {
        return Result(m_bParallel ? m_parallel.WriteCompressFile(pData, nCount)
                                  : m_zlib.WriteCompressFile(pData, nCount));
    }
    T_IMAGE_WRITE_RESULT Commit() override
    {
        return Result(m_bParallel ? m_parallel.CommitWrite() : m_zlib.CommitWrite());
    }
    // The sequential stream cannot end anywhere but at its end.
    bool CommitWritten() override { return m_bParallel && m_parallel.CommitWritten().bOk; }
    void Release() override
    {
        m_parallel.Release();
        m_zlib.Release();
    }
    uint64_t CompressedBytes() const override
    {
        return m_bParallel ? m_parallel.CompressedBytes() : m_zlib.CompressedBytes();
    }
    uint64_t DataBytes() const override { return m_parallel.DataBytes(); }

private:
    static T_IMAGE_WRITE_RESULT Result(const CZLIBIO::T_RESULT& res)
    {
        if (res.bOk) return {};
        const bool bNoRoom = res.nZlibResult == Z_ERRNO && SystemError::IsNoRoom(res.nError);
        return T_IMAGE_WRITE_RESULT{false, bNoRoom, res.nError, ZlibFailureText(res)};
    }

    CZLIBIO m_zlib;  // holds the library while the writer lives
    CParallelDeflate m_parallel;
    bool m_bParallel = false;
};

}  // namespace

std::unique_ptr<ICompressedImageWriter> MakeGzipImageWriter(IDevice& file, uint32_t nThreads)
{
    return std::make_unique<CGzipImageWriter>(file, nThreads);
}
