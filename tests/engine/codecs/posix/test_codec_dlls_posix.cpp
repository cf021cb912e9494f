// The Windows binding's entry-point names, tried on this system's own
// shared libraries: each table binds whole, to the very functions the
// native build links, so no name is misspelt or missing. The first file
// that loads decides, even when a later one would do.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/codecs/codec_dll_binding.h"

namespace {

template <class T>
bool SameAsLinked(const T_CODEC_BINDING<T>& binding, const T* pLinked)
{
    return binding.bBound && pLinked && std::memcmp(&binding.entry, pLinked, sizeof(T)) == 0;
}

TEST(CodecDllBindingPosix, EveryTableBindsWholeFromTheSystemsLibrary)
{
    EXPECT_TRUE(SameAsLinked(BindLzmaLibrary({"liblzma.so.5"}), LzmaEntryPoints()));
    EXPECT_TRUE(SameAsLinked(BindZstdLibrary({"libzstd.so.1"}), ZstdEntryPoints()));
    EXPECT_TRUE(SameAsLinked(BindBzip2Library({"libbz2.so.1.0"}), Bzip2EntryPoints()));
    EXPECT_TRUE(SameAsLinked(BindArchiveLibrary({"libarchive.so.13"}), ArchiveEntryPoints()));
    EXPECT_FALSE(BindLzmaLibrary({GM_CODEC_PARTIAL_LIBRARY, "liblzma.so.5"}).bBound);
}

}  // namespace
