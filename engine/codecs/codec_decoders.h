#pragma once
// The decoders of the four libraries, made by OpenImageDecoder
// (image_decoder.cpp) once it has the library's table. Each returns null,
// with the reason in failure, when its library cannot start a stream.
#include <memory>

#include "engine/codecs/codec_entry_points.h"
#include "engine/codecs/image_decoder.h"

std::unique_ptr<IImageDecoder> MakeXzDecoder(IDevice& file, const T_LZMA_ENTRY_POINTS& lzma,
                                             T_DECODE_RESULT& failure);
std::unique_ptr<IImageDecoder> MakeZstdDecoder(IDevice& file, const T_ZSTD_ENTRY_POINTS& zstd,
                                               T_DECODE_RESULT& failure);
std::unique_ptr<IImageDecoder> MakeBzip2Decoder(IDevice& file, const T_BZIP2_ENTRY_POINTS& bzip2,
                                                T_DECODE_RESULT& failure);
// The zip decoder reads the archive's one image file (zip_member_choice.h).
std::unique_ptr<IImageDecoder> MakeZipDecoder(IDevice& file, const T_ARCHIVE_ENTRY_POINTS& archive,
                                              T_DECODE_RESULT& failure);
