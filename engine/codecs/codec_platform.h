#pragma once
// The platform adapters' half of codec_libraries.h: each fills the tables
// its own way and knows its libraries' file names. Only codec_libraries.cpp
// calls these.
#include <string>

#include "engine/codecs/codec_libraries.h"

const T_LZMA_ENTRY_POINTS* PlatformLzmaEntryPoints();
const T_ZSTD_ENTRY_POINTS* PlatformZstdEntryPoints();
const T_BZIP2_ENTRY_POINTS* PlatformBzip2EntryPoints();
const T_ARCHIVE_ENTRY_POINTS* PlatformArchiveEntryPoints();
std::string PlatformCodecLibraryFileName(ECodecLibrary eLibrary);
// Why an absent library could not be used although its file was found
// ("C:\tools\liblzma.dll lacks lzma_block_decoder"); empty otherwise.
std::string PlatformCodecLibraryProblem(ECodecLibrary eLibrary);
