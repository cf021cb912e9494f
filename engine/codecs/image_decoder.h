#pragma once
// One compressed image (xz, zstd, bzip2, zip) decoded as one stream of
// the drive's bytes: the image file, opened through the device port, is
// read strictly in order from offset 0 by the thread that takes the data
// out, block by block (a zip archive's directory at its end first, then its
// image file in order). The decoder checks everything its format carries
// (check values, lengths, what follows the end) as it goes, so an image is
// accepted only as a whole: a truncated file, damaged data, a failed check
// and bytes after the last stream that are not another stream of the same
// format are read failures, never a shorter good image. An empty file is an
// image of 0 bytes (but no zip archive). gzip images keep their own reader
// (engine/zlib).
#include <cstdint>
#include <memory>
#include <string>

#include "engine/codecs/image_format.h"
#include "engine/device/device.h"

// Why a decoder gave up.
enum class EDecodeFailure {
    None,
    FileRead,     // reading the file failed: nError holds the system's code
    Truncated,    // the file ends inside a stream
    Damaged,      // the data break the format's rules or fail their check
    Trailing,     // the last stream is followed by bytes that are not another one
    NotThisFormat,  // the file does not start as the format does
    NoMemory,
    NoLibrary,    // the format's library is absent (or the format not built)
    Unsupported,  // the data need what the library cannot do here (a zip member encrypted, or its method)
    Unusable,     // a read after a failure
};

struct T_DECODE_RESULT {
    bool bOk = true;
    EDecodeFailure eFailure = EDecodeFailure::None;
    uint32_t nError = 0;    // the system error code of a failed file read
    std::string strDetail;  // the library's own words, when it has any
};

class IImageDecoder {
public:
    virtual ~IImageDecoder() = default;
    // Fills pBlock with the next nLength (> 0) bytes of the image; nProduced
    // is less than nLength only at the end of the image, and 0 after it. On
    // a failure nProduced tells how many bytes in front of it are good, and
    // every later call fails too.
    virtual T_DECODE_RESULT Read(void* pBlock, uint32_t nLength, uint32_t& nProduced) = 0;
    // Bytes of the file read so far (a progress figure that follows the file).
    virtual uint64_t CompressedBytes() const = 0;
};

// The decoder of eFormat over file, which must stay open while the decoder
// lives. Null, with the reason in failure, when the format has no decoder
// here (its library absent, or raw and gzip, which have none) or the
// decoder cannot start (no memory).
std::unique_ptr<IImageDecoder> OpenImageDecoder(EImageFormat eFormat, IDevice& file, T_DECODE_RESULT& failure);

// The failure as the second line of the engines' "file compress read error"
// lines, ending in a line feed.
std::string DecodeFailureText(EImageFormat eFormat, const T_DECODE_RESULT& failure);
