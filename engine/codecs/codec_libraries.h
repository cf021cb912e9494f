#pragma once
// Where the decompression libraries' entry points come from. On Linux the
// libraries are linked and their tables are filled from the linked
// functions (posix/codec_libraries_posix.cpp); on Windows a table is filled
// from the library's DLL (win32/codec_libraries_win32.cpp). Each accessor
// returns the library's table, valid for the rest of the process, or null
// when the library is absent.
#include <optional>
#include <string>

#include "engine/codecs/codec_entry_points.h"
#include "engine/codecs/image_format.h"

enum class ECodecLibrary { Lzma, Zstd, Bzip2, Archive };

const T_LZMA_ENTRY_POINTS* LzmaEntryPoints();
const T_ZSTD_ENTRY_POINTS* ZstdEntryPoints();
const T_BZIP2_ENTRY_POINTS* Bzip2EntryPoints();
const T_ARCHIVE_ENTRY_POINTS* ArchiveEntryPoints();

// The library a format needs; empty for raw and gzip (zlib has its own
// binding).
std::optional<ECodecLibrary> CodecLibraryOf(EImageFormat eFormat);
// Whether the library is there to be used.
bool CodecLibraryFound(ECodecLibrary eLibrary);
// The library's file on this platform, as the operator would look for it
// ("liblzma" on Linux, the DLL's name on Windows).
std::string CodecLibraryFileName(ECodecLibrary eLibrary);

// Why this program cannot read an image of eFormat here, as the rest of a
// line that starts "can't read IMAGE: " (no line feed): its library is
// absent, or the format is not read by this build. Empty when it can be
// read, and for gzip, whose zlib binding is checked by the callers.
std::string FormatUnreadableReason(EImageFormat eFormat);

// Writing images (a read into a .zst): the compression entry points the
// zstd table lacks, as a list of names ("ZSTD_createCCtx, ..."); empty when
// it has them all.
std::string MissingZstdCompression(const T_ZSTD_ENTRY_POINTS& zstd);
// Why this program cannot write an image of eFormat here, as the rest of a
// line that starts "can't create file IMAGE.\n" (no line feed): the zstd
// library is absent or cannot compress. Empty when it can be written, and
// for raw and gzip (zlib is checked by the callers) and the formats this
// program never writes (the pre-flight refuses those by name).
std::string FormatUnwritableReason(EImageFormat eFormat);

namespace CodecLibraries {
// Test seam: the library counts as absent, as if it could not be loaded,
// until it is set present again.
void SetAbsent(ECodecLibrary eLibrary, bool bAbsent);
}  // namespace CodecLibraries
