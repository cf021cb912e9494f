#pragma once
// The compression parameters of every image: level 6, memLevel 8, the
// default strategy, a 32 KiB window. The sequential stream asks zlib for
// the gzip wrapper; the parallel one writes raw deflate and frames it.
constexpr int IMAGE_LEVEL = 6;
constexpr int IMAGE_MEM_LEVEL = 8;
constexpr int WINDOW_BITS = 15;
constexpr int WINDOW_BITS_GZIP = WINDOW_BITS + 16;
constexpr int WINDOW_BITS_RAW = -WINDOW_BITS;
constexpr int WINDOW_BITS_AUTO = WINDOW_BITS + 32;  // a gzip or zlib header, whichever is there
constexpr unsigned WINDOW_SIZE = 1u << WINDOW_BITS;
