#pragma once
// The formats an image file comes in, and how each one shows: by the end of
// its name and by its first bytes. A raw image is the drive's bytes as they
// are; every other format is one compressed stream (or, for xz, zstd and
// bzip2, several of them one after another) of those bytes, or for zip an
// archive that holds them as one of its files.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

enum class EImageFormat { Raw, Gzip, Xz, Zstd, Bzip2, Zip };

// How a front end asks for the format: as the image's name says, or gzip or
// raw whatever the name (--compress, --no-compress, the window's box).
enum class EFormatAsk { ByName, Gzip, Raw };

constexpr bool IsCompressedFormat(EImageFormat eFormat)
{
    return eFormat != EImageFormat::Raw;
}

// The formats a read writes its image in.
constexpr bool IsWrittenFormat(EImageFormat eFormat)
{
    return eFormat == EImageFormat::Raw || eFormat == EImageFormat::Gzip || eFormat == EImageFormat::Zstd;
}

// The format's name as the log lines use it ("xz"), with its article
// ("an xz"), and the name ending that asks for it (".xz").
const char* ImageFormatName(EImageFormat eFormat);
const char* ImageFormatWithArticle(EImageFormat eFormat);
const char* ImageFormatSuffix(EImageFormat eFormat);

// The format a name promises by its ending, in any case: .gz and .gmz
// gzip, .xz, .zst and .zstd, .bz2, .zip. Empty for every other name, the
// raw ones (.gmi, .dd, .img, .iso, .bin, .raw) among them: such an image is
// raw.
std::optional<EImageFormat> FormatPromisedByName(const std::string& strPath);

// The format eAsk asks for: gzip or raw whatever the name, or the one the
// name promises (raw when it promises none).
EImageFormat FormatAsked(const std::string& strPath, EFormatAsk eAsk);

// How many first bytes tell the formats apart.
constexpr size_t FORMAT_MAGIC_BYTES = 6;

// The compressed format whose magic number the bytes start with (a zstd
// file may also start with a skippable frame); Raw when none does.
EImageFormat FormatShownByBytes(const uint8_t* pBytes, size_t nCount);
