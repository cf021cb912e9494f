// Win32 adapter of the decompression libraries. They are not linked: each
// is to come from its DLL beside the program, bound at run time, a missing
// DLL or entry point leaving the library absent. Until that binding is
// built, every library is absent, and the formats that need one are
// refused with the DLL's name.
#include "engine/codecs/codec_platform.h"

const T_LZMA_ENTRY_POINTS* PlatformLzmaEntryPoints()
{
    return nullptr;
}

const T_ZSTD_ENTRY_POINTS* PlatformZstdEntryPoints()
{
    return nullptr;
}

const T_BZIP2_ENTRY_POINTS* PlatformBzip2EntryPoints()
{
    return nullptr;
}

std::string PlatformCodecLibraryFileName(ECodecLibrary eLibrary)
{
    switch (eLibrary) {
    case ECodecLibrary::Lzma: return "liblzma-5.dll";
    case ECodecLibrary::Zstd: return "libzstd.dll";
    case ECodecLibrary::Bzip2: return "libbz2-1.dll";
    }
    return {};
}
