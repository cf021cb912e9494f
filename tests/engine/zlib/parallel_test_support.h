#pragma once
// Helpers of the parallel stream tests: a member written by the parallel
// deflate into memory, one gzip member inflated by zlib itself with nothing
// allowed behind it, and data that compress the way files do.
#include <algorithm>
#include <cstring>

#include "engine/zlib/parallel_deflate.h"
#include "tests/engine/zlib/zlib_test_support.h"

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
    CZLIBIO::T_RESULT result = deflate.Init(*file.pFile, zlib.EntryPoints(), nWorkers);
    for (size_t nPos = 0; result.bOk && nPos < data.size(); nPos += nBlock) {
        const size_t nCount = std::min<size_t>(nBlock, data.size() - nPos);
        result = deflate.WriteCompressFile(data.data() + nPos, static_cast<uint32_t>(nCount));
    }
    if (result.bOk) result = deflate.CommitWrite();
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
