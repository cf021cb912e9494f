#pragma once
// How the Windows program binds the decompression libraries at run time:
// each from its DLL beside the program, tried under the names the common
// Windows builds give it (official releases, MSYS2, vcpkg) in order. The
// first name that loads decides: every entry point of the library's table
// must be found in it, or the library counts as absent (the DLL is freed
// again) and the reason names what it lacks. The platform's loader
// (engine/zlib/shared_library.h) does the loading, so the same policy is
// exercised natively with the system's shared libraries.
#include <string>
#include <vector>

#include "engine/codecs/codec_entry_points.h"
#include "engine/codecs/codec_libraries.h"

template <class T>
struct T_CODEC_BINDING {
    T entry;             // every entry point when bound; nothing when not
    bool bBound = false;
    std::string strProblem;  // a file that loaded but lacks an entry point ("PATH lacks NAME"); else empty
};

// The DLL's names, in the order they are tried.
std::vector<std::string> CodecDllNames(ECodecLibrary eLibrary);

// Loads the first of paths that loads and binds the library's table from
// it. A library that is bound stays loaded for the rest of the process.
T_CODEC_BINDING<T_LZMA_ENTRY_POINTS> BindLzmaLibrary(const std::vector<std::string>& paths);
T_CODEC_BINDING<T_ZSTD_ENTRY_POINTS> BindZstdLibrary(const std::vector<std::string>& paths);
T_CODEC_BINDING<T_BZIP2_ENTRY_POINTS> BindBzip2Library(const std::vector<std::string>& paths);
T_CODEC_BINDING<T_ARCHIVE_ENTRY_POINTS> BindArchiveLibrary(const std::vector<std::string>& paths);
