// The Windows program without the decompression libraries' DLLs beside it
// (none is beside the test program): every library is absent, and an image
// that needs one is refused with the name of the DLL to put there.
#include <gtest/gtest.h>

#include "engine/codecs/codec_libraries.h"

namespace {

TEST(CodecLibrariesWin32, WithoutTheirDllsTheLibrariesAreAbsentAndTheRefusalNamesTheDll)
{
    EXPECT_TRUE(!LzmaEntryPoints() && !ZstdEntryPoints() && !Bzip2EntryPoints() && !ArchiveEntryPoints());
    const struct {
        EImageFormat eFormat;
        const char* pszReason;
    } cases[] = {
        {EImageFormat::Xz, "the xz library (liblzma.dll) is needed to read .xz images and was not found"},
        {EImageFormat::Zstd, "the zstd library (libzstd.dll) is needed to read .zst images and was not found"},
        {EImageFormat::Bzip2, "the bzip2 library (libbz2-1.dll) is needed to read .bz2 images and was not found"},
        {EImageFormat::Zip, "the zip library (archive.dll) is needed to read .zip images and was not found"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatUnreadableReason(c.eFormat), c.pszReason);
}

}  // namespace
