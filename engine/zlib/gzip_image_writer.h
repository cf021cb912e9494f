#pragma once
// The gzip image writer: one gzip member of the drive's bytes, compressed
// in chunks on several threads (CParallelDeflate) when more than one is
// asked for and the zlib library has what that takes, else the sequential
// stream on the writer's thread (CZLIBIO), which one thread always writes,
// byte for byte. Either way it is the same kind of file. A stream that
// cannot start fails on its first block.
#include <memory>

#include "engine/codecs/compressed_image_writer.h"

std::unique_ptr<ICompressedImageWriter> MakeGzipImageWriter(IDevice& file, uint32_t nThreads);
