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

// The nine entry points, in the order they are looked up.
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
}  // namespace ZlibBinding
