#pragma once
// Helpers of the compressed stream tests: images written and read whole
// through any device, trace line capture, and data of every kind.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/debug_trace.h"
#include "engine/device/fake/fake_device.h"
#include "engine/zlib/zlib_binding.h"
#include "engine/zlib/zlib_io.h"

inline constexpr uint32_t MIB = 0x100000;

// Every trace line written while the capture lives.
class CTraceCapture {
public:
    CTraceCapture()
    {
        std::lock_guard lock(Mutex());
        Store().clear();
        SetDebugTraceHook(&Record);
    }
    ~CTraceCapture() { SetDebugTraceHook(nullptr); }
    CTraceCapture(const CTraceCapture&) = delete;
    CTraceCapture& operator=(const CTraceCapture&) = delete;

    std::vector<std::string> Lines()
    {
        std::lock_guard lock(Mutex());
        return Store();
    }

private:
    static void Record(std::string_view strLine)
    {
        std::lock_guard lock(Mutex());
        Store().emplace_back(strLine);
    }
    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static std::vector<std::string>& Store()
    {
        static std::vector<std::string> lines;
        return lines;
    }
};

inline std::vector<uint8_t> RandomBytes(size_t nSize, uint32_t nSeed)
{
    std::mt19937 engine(nSeed);
    std::vector<uint8_t> data(nSize);
    for (auto& b : data) b = static_cast<uint8_t>(engine() >> 24);
    return data;
}

// Compressible, yet every 4 KiB differs from its neighbours.
inline std::vector<uint8_t> TextLike(size_t nSize)
{
    std::vector<uint8_t> data(nSize);
    for (size_t i = 0; i < nSize; ++i) data[i] = static_cast<uint8_t>("gravelmoor "[i % 11] + (i / 4096) % 7);
    return data;
}

// Writes data as one compressed image through file, nBlock bytes a block,
// and commits it; the first failing step's result.
inline CZLIBIO::T_RESULT WriteImage(CZLIBIO& zlib, IDevice& file, const std::vector<uint8_t>& data,
                                    uint32_t nBlock = MIB)
{
    CZLIBIO::T_RESULT result = zlib.InitWrite(file);
    for (size_t nPos = 0; result.bOk && nPos < data.size(); nPos += nBlock) {
        const size_t nCount = std::min<size_t>(nBlock, data.size() - nPos);
        result = zlib.WriteCompressFile(data.data() + nPos, static_cast<uint32_t>(nCount));
    }
    if (result.bOk) result = zlib.CommitWrite();
    zlib.Release();
    return result;
}

struct T_READ_BACK {
    CZLIBIO::T_RESULT result;
    std::vector<uint8_t> data;       // every byte produced, failure or not
    std::vector<uint32_t> lengths;  // each block's length, up to the first 0 or failure
};

// Reads an image block by block until a block of 0 bytes or a failure. A
// reader that never ends would be caught by the block limit.
inline T_READ_BACK ReadImage(CZLIBIO& zlib, IDevice& file, uint32_t nBlock = MIB, size_t nMaxBlocks = 100000)
{
    T_READ_BACK back;
    back.result = zlib.InitRead(file);
    std::vector<uint8_t> block(nBlock);
    while (back.result.bOk && back.lengths.size() < nMaxBlocks) {
        uint32_t nProduced = 0;
        back.result = zlib.ReadCompressFile(block.data(), nBlock, nProduced);
        back.data.insert(back.data.end(), block.begin(), block.begin() + nProduced);
        if (!back.result.bOk) break;
        back.lengths.push_back(nProduced);
        if (nProduced == 0) break;
    }
    EXPECT_LT(back.lengths.size(), nMaxBlocks) << "the reader never came to an end";
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
    const auto& contents = file.pDisk->Contents();
    return std::vector<uint8_t>(contents.begin(), contents.begin() + static_cast<ptrdiff_t>(zlib.CompressedBytes()));
}

inline T_READ_BACK ReadFromMemory(const std::vector<uint8_t>& image, uint32_t nBlock = MIB)
{
    T_FAKE_FILE file(std::make_shared<CFakeDisk>(image));
    CZLIBIO zlib;
    return ReadImage(zlib, *file.pFile, nBlock);
}

// The gzip trailer's ISIZE: the image's length modulo 2^32.
inline uint32_t TrailerLength(const std::vector<uint8_t>& image)
{
    const size_t n = image.size();
    return uint32_t{image[n - 4]} | uint32_t{image[n - 3]} << 8 | uint32_t{image[n - 2]} << 16 |
           uint32_t{image[n - 1]} << 24;
}
