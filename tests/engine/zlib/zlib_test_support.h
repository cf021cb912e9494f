#pragma once
// Helpers of the compressed stream tests: images written and read whole
// through any device, by the sequential stream or the parallel deflate, a
// gzip member inflated by zlib itself, trace line capture, and data that
// compress as files do or not at all.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/debug_trace.h"
#include "engine/device/fake/fake_device.h"
#include "engine/zlib/parallel_deflate.h"
#include "engine/zlib/zlib_binding.h"
#include "engine/zlib/zlib_io.h"

inline constexpr uint32_t MIB = 0x100000;

// Every trace line written while the capture lives.
class CTraceCapture {
public:
    CTraceCapture()
    {
        SetDebugTraceHook([](std::string_view strLine) {
            std::lock_guard lock(s_mutex);
            s_lines.emplace_back(strLine);
        });
    }
    ~CTraceCapture()
    {
        SetDebugTraceHook(nullptr);
        std::lock_guard lock(s_mutex);
        s_lines.clear();
    }
    std::vector<std::string> Lines()
    {
        std::lock_guard lock(s_mutex);
        return s_lines;
    }

private:
    static inline std::mutex s_mutex;
    static inline std::vector<std::string> s_lines;
};

// The first nSize bytes of data.
inline std::vector<uint8_t> Head(const std::vector<uint8_t>& data, uint64_t nSize)
{
    return std::vector<uint8_t>(data.begin(), data.begin() + static_cast<ptrdiff_t>(nSize));
}

inline std::vector<uint8_t> RandomBytes(size_t nSize, uint32_t nSeed)
{
    std::mt19937 engine(nSeed);
    std::vector<uint8_t> data(nSize);
    for (auto& b : data) b = static_cast<uint8_t>(engine() >> 24);
    return data;
}

// Hands data to a writer (the sequential stream or the parallel deflate)
// nBlock bytes a call and commits it; the first failing step's result.
template <class TWriter>
CZLIBIO::T_RESULT WriteAll(TWriter& writer, CZLIBIO::T_RESULT result, const std::vector<uint8_t>& data,
                           uint32_t nBlock)
{
    for (size_t nPos = 0; result.bOk && nPos < data.size(); nPos += nBlock) {
        const size_t nCount = std::min<size_t>(nBlock, data.size() - nPos);
        result = writer.WriteCompressFile(data.data() + nPos, static_cast<uint32_t>(nCount));
    }
    return result.bOk ? writer.CommitWrite() : result;
}

// Writes data as one compressed image through file; the first failing step's result.
inline CZLIBIO::T_RESULT WriteImage(CZLIBIO& zlib, IDevice& file, const std::vector<uint8_t>& data,
                                    uint32_t nBlock = MIB)
{
    const CZLIBIO::T_RESULT result = WriteAll(zlib, zlib.InitWrite(file), data, nBlock);
    zlib.Release();
    return result;
}

struct T_READ_BACK {
    CZLIBIO::T_RESULT result;
    std::vector<uint8_t> data;       // every byte produced, failure or not
    std::vector<uint32_t> lengths;  // each block's length, up to the first 0 or failure
};

// Reads an image block by block with fnRead(block, nBlock, nProduced)
// until a block of 0 bytes or a failure. A reader that never ends would be
// caught by the block limit.
template <class FnRead>
T_READ_BACK ReadBlocks(CZLIBIO::T_RESULT result, FnRead fnRead, uint32_t nBlock = MIB)
{
    T_READ_BACK back;
    back.result = result;
    std::vector<uint8_t> block(nBlock);
    while (back.result.bOk && back.lengths.size() < 100000) {
        uint32_t nProduced = 0;
        back.result = fnRead(block.data(), nBlock, nProduced);
        back.data.insert(back.data.end(), block.begin(), block.begin() + nProduced);
        if (!back.result.bOk) break;
        back.lengths.push_back(nProduced);
        if (nProduced == 0) break;
    }
    EXPECT_LT(back.lengths.size(), 100000u) << "the reader never came to an end";
    return back;
}

inline T_READ_BACK ReadImage(CZLIBIO& zlib, IDevice& file, uint32_t nBlock = MIB)
{
    const CZLIBIO::T_RESULT result = zlib.InitRead(file);
    T_READ_BACK back = ReadBlocks(result, [&](uint8_t* p, uint32_t n, uint32_t& nGot) {
        return zlib.ReadCompressFile(p, n, nGot);
    }, nBlock);
    zlib.Release();
    return back;
}

// A fake disk as the image file, opened for the stream.
struct T_FAKE_FILE {
    std::shared_ptr<CFakeDisk> pDisk;
    CFakeDeviceProvider provider;
    std::unique_ptr<IDevice> pFile;

    explicit T_FAKE_FILE(std::shared_ptr<CFakeDisk> pFakeDisk) : pDisk(std::move(pFakeDisk))
    {
        provider.Add("fake:image", pDisk);
        uint32_t nError = 0;
        pFile = provider.Open("fake:image", EOpenMode::ReadImage, nError);
    }
};

// Writes data as a compressed image into memory and returns the file's bytes.
inline std::vector<uint8_t> CompressToMemory(const std::vector<uint8_t>& data, uint32_t nBlock = MIB)
{
    T_FAKE_FILE file(std::make_shared<CFakeDisk>(std::vector<uint8_t>(data.size() + data.size() / 64 + MIB)));
    CZLIBIO zlib;
    EXPECT_TRUE(WriteImage(zlib, *file.pFile, data, nBlock).bOk);
    return Head(file.pDisk->Contents(), zlib.CompressedBytes());
}

inline T_READ_BACK ReadFromMemory(const std::vector<uint8_t>& image, uint32_t nBlock = MIB)
{
    T_FAKE_FILE file(std::make_shared<CFakeDisk>(image));
    CZLIBIO zlib;
    return ReadImage(zlib, *file.pFile, nBlock);
}

// Writes data through the parallel deflate with nWorkers threads, nBlock
// bytes a call; the file's bytes, or empty with a test failure.
inline std::vector<uint8_t> ParallelCompressToMemory(const std::vector<uint8_t>& data, uint32_t nWorkers,
                                                     uint32_t nBlock = MIB)
{
    CZLIBIO zlib;  // the link, and the entry points
    auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>{});
    pFile->GrowOnWrite();
    T_FAKE_FILE file(pFile);
    CParallelDeflate deflate;
    const CZLIBIO::T_RESULT result = WriteAll(deflate, deflate.Init(*file.pFile, zlib.EntryPoints(), nWorkers), data, nBlock);
    EXPECT_TRUE(result.bOk) << "zlib result " << result.nZlibResult;
    EXPECT_EQ(deflate.CompressedBytes(), pFile->Contents().size());
    deflate.Release();
    return result.bOk ? pFile->Contents() : std::vector<uint8_t>{};
}

struct T_MEMBER {
    int nResult = Z_STREAM_ERROR;  // Z_STREAM_END when the member is whole and its checks pass
    std::vector<uint8_t> data;
    size_t nConsumed = 0;  // bytes of the image the member took, trailer included
};

// Inflates the first gzip member of image with zlib's own gzip reading
// (header, CRC-32 and length checked by zlib), all input at once.
inline T_MEMBER InflateFirstMember(const std::vector<uint8_t>& image)
{
    CZLIBIO zlib;
    const T_ZLIB_ENTRY_POINTS& z = *zlib.EntryPoints();
    T_MEMBER member;
    z_stream s{};
    if (z.inflateInit2_(&s, 15 + 16, ZLIB_VERSION, static_cast<int>(sizeof(z_stream))) != Z_OK) return member;
    s.next_in = image.data();
    s.avail_in = static_cast<uInt>(image.size());
    std::vector<uint8_t> block(MIB);
    do {
        s.next_out = block.data();
        s.avail_out = MIB;
        member.nResult = z.inflate(&s, Z_NO_FLUSH);
        member.data.insert(member.data.end(), block.begin(), block.end() - s.avail_out);
    } while (member.nResult == Z_OK);
    member.nConsumed = image.size() - s.avail_in;
    z.inflateEnd(&s);
    return member;
}

// Words of a small vocabulary in a random order: text that compresses about
// three to one, as files do, so the size of a chunked member can be judged.
inline std::vector<uint8_t> Prose(size_t nSize, uint32_t nSeed)
{
    static const char* const WORDS[] = {"gravel ", "moor ", "disk ", "image ", "block ", "the ", "of ",
                                        "and ", "sector ", "read ", "write\n", "zlib ", "chunk ", "pool "};
    std::mt19937 engine(nSeed);
    std::vector<uint8_t> data;
    data.reserve(nSize + 8);
    while (data.size() < nSize) {
        const char* pszWord = WORDS[engine() % std::size(WORDS)];
        data.insert(data.end(), pszWord, pszWord + std::strlen(pszWord));
        if (engine() % 5 == 0) data.push_back(static_cast<uint8_t>('0' + engine() % 10));
    }
    data.resize(nSize);
    return data;
}

// The gzip trailer's ISIZE: the image's length modulo 2^32.
inline uint32_t TrailerLength(const std::vector<uint8_t>& image)
{
    const size_t n = image.size();
    return uint32_t{image[n - 4]} | uint32_t{image[n - 3]} << 8 | uint32_t{image[n - 2]} << 16 |
           uint32_t{image[n - 1]} << 24;
}
