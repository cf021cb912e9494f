#pragma once
// The process-wide binding of the zlib shared library, bound at run time
// and never linked: the first link loads the library, the last unlink frees
// it, and one lock serialises links, unlinks and the loading. When no
// library with all nine entry points is found, compression is simply off.
//
// zlib's header gives the types and constants only (included here, and only
// here, with ZLIB_CONST); every call goes through the bound entry points.
#ifndef ZLIB_CONST
#define ZLIB_CONST
#endif
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

// Entry points beyond the nine, looked up with them but not required: a
// library without them still compresses and inflates, one stream on one
// thread. Each is null when the library lacks it.
//   deflateReset, deflateSetDictionary, crc32, crc32_combine: the image
//     writer compresses pieces of the data on several threads, each primed
//     with the 32 KiB in front of it, and joins their CRC-32 values;
//   crc32: the image reader checks the CRC-32 off the inflating thread.
struct T_ZLIB_EXTRA_ENTRY_POINTS {
    // crc32_combine's length is a z_off_t, which every zlib build of ours
    // makes a long (64-bit on Linux, 32-bit on Windows); the name may be
    // redefined by the header's large-file macros, so the type is spelt out.
    using PFN_CRC32_COMBINE = uLong (*)(uLong, uLong, long);

    decltype(&::deflateReset) deflateReset = nullptr;
    decltype(&::deflateSetDictionary) deflateSetDictionary = nullptr;
    decltype(&::crc32) crc32 = nullptr;
    PFN_CRC32_COMBINE crc32_combine = nullptr;
};

// The nine entry points, in the order they are looked up, then the extras.
struct T_ZLIB_ENTRY_POINTS {
    decltype(&::zlibVersion) zlibVersion = nullptr;
    decltype(&::deflateInit_) deflateInit_ = nullptr;
    decltype(&::deflateInit2_) deflateInit2_ = nullptr;
    decltype(&::deflate) deflate = nullptr;
    decltype(&::deflateEnd) deflateEnd = nullptr;
    decltype(&::inflateInit_) inflateInit_ = nullptr;
    decltype(&::inflateInit2_) inflateInit2_ = nullptr;
    decltype(&::inflate) inflate = nullptr;
    decltype(&::inflateEnd) inflateEnd = nullptr;
    T_ZLIB_EXTRA_ENTRY_POINTS extra;
};

namespace ZlibBinding {
// Adds one link. A library that is not loaded is loaded first (trace line
// "CZLIBIO::LOAD\n"); the link is taken only when the library is loaded
// ("CZLIBIO::LINK\n"). Returns the entry points, valid until this link is
// dropped, or null (and no link) when there is no usable library.
const T_ZLIB_ENTRY_POINTS* Link();
// Drops one link ("CZLIBIO::UNLINK\n"); the last one frees the library
// ("CZLIBIO::FREE\n"). Nothing happens when no link is held. Only a caller
// whose Link succeeded may call it.
void Unlink();

// The loaded flag: true only while a library with all nine entry points is
// bound.
bool IsLoaded();
uint32_t LinkCount();
// The name the library was loaded under; empty when the last load failed
// or no load was tried.
std::string LibraryName();

// Test seam: the names the next load tries, in order, instead of the
// platform's own (an empty list restores them). Takes effect at the next
// load only.
void SetLibraryNames(std::vector<std::string> names);
// Test seam: entry points that the next load treats as missing from the
// library, as if it had been built without them (an empty list: none).
void SetMissingEntryPoints(std::vector<std::string> names);
}  // namespace ZlibBinding
