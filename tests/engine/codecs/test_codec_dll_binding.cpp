// The Windows program's run-time binding of the decompression libraries,
// over the platform's loader (both builds): a library is bound only with
// every entry point of its table, each under its own name; a file that
// lacks one is named with what it lacks.
#include <gtest/gtest.h>

#include "engine/codecs/codec_dll_binding.h"

namespace {

const std::string PARTIAL = GM_CODEC_PARTIAL_LIBRARY;

TEST(CodecDllBinding, ALibraryIsBoundOnlyWithEveryEntryPointEachUnderItsName)
{
    const T_CODEC_BINDING<T_BZIP2_ENTRY_POINTS> bzip2 = BindBzip2Library({"gm-no-such-library", PARTIAL});
    ASSERT_TRUE(bzip2.bBound);
    EXPECT_EQ(bzip2.entry.BZ2_bzDecompressInit(nullptr, 0, 0), 1);
    EXPECT_EQ(bzip2.entry.BZ2_bzDecompress(nullptr), 2);
    EXPECT_EQ(bzip2.entry.BZ2_bzDecompressEnd(nullptr), 3);
    EXPECT_EQ(bzip2.strProblem, "");

    const T_CODEC_BINDING<T_LZMA_ENTRY_POINTS> lzma = BindLzmaLibrary({PARTIAL});
    EXPECT_FALSE(lzma.bBound);
    EXPECT_TRUE(lzma.entry.lzma_block_decoder == nullptr && lzma.entry.lzma_code == nullptr);
    EXPECT_EQ(lzma.strProblem, PARTIAL + " lacks lzma_end");

    const T_CODEC_BINDING<T_ZSTD_ENTRY_POINTS> zstd = BindZstdLibrary({"gm-no-such-library"});
    EXPECT_FALSE(zstd.bBound);
    EXPECT_EQ(zstd.strProblem, "");
}

}  // namespace
