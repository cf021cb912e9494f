#include "engine/codecs/image_format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>

namespace {

struct T_FORMAT_FACTS {
    EImageFormat eFormat;
    const char* pszName;
    const char* pszWithArticle;
    const char* pszSuffix;
};

constexpr std::array<T_FORMAT_FACTS, 6> FACTS = {{
    {EImageFormat::Raw, "raw", "a raw", ""},
    {EImageFormat::Gzip, "gzip", "a gzip", ".gmz"},
    {EImageFormat::Xz, "xz", "an xz", ".xz"},
    {EImageFormat::Zstd, "zstd", "a zstd", ".zst"},
    {EImageFormat::Bzip2, "bzip2", "a bzip2", ".bz2"},
    {EImageFormat::Zip, "zip", "a zip", ".zip"},
}};

const T_FORMAT_FACTS& FactsOf(EImageFormat eFormat)
{
    const auto it = std::find_if(FACTS.begin(), FACTS.end(), [eFormat](const T_FORMAT_FACTS& f) {
        return f.eFormat == eFormat;
    });
    return it != FACTS.end() ? *it : FACTS.front();
}

struct T_NAME_PROMISE {
    const char* pszEnding;
    EImageFormat eFormat;
};

constexpr T_NAME_PROMISE NAME_PROMISES[] = {
    {".gz", EImageFormat::Gzip},   {".gmz", EImageFormat::Gzip},  {".xz", EImageFormat::Xz},
    {".zst", EImageFormat::Zstd},  {".zstd", EImageFormat::Zstd}, {".bz2", EImageFormat::Bzip2},
    {".zip", EImageFormat::Zip},
};

// The first byte is compared under its mask: a zstd skippable frame starts
// with any of 0x184D2A50 to 0x184D2A5F, little-endian.
struct T_MAGIC {
    EImageFormat eFormat;
    const char* pBytes;
    size_t nCount;
    uint8_t nFirstMask;
};

constexpr T_MAGIC MAGICS[] = {
    {EImageFormat::Gzip, "\x1F\x8B", 2, 0xFF},
    {EImageFormat::Xz, "\xFD\x37\x7A\x58\x5A\x00", 6, 0xFF},
    {EImageFormat::Zstd, "\x28\xB5\x2F\xFD", 4, 0xFF},
    {EImageFormat::Zstd, "\x50\x2A\x4D\x18", 4, 0xF0},
    {EImageFormat::Bzip2, "BZh", 3, 0xFF},
    {EImageFormat::Zip, "PK\x03\x04", 4, 0xFF},
};

bool EndsWith(const std::string& strText, const char* pszEnding)
{
    const size_t nEnding = std::strlen(pszEnding);
    if (strText.size() < nEnding) return false;
    return std::equal(strText.end() - static_cast<std::ptrdiff_t>(nEnding), strText.end(), pszEnding,
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
                      });
}

bool Matches(const T_MAGIC& magic, const uint8_t* pBytes, size_t nCount)
{
    if (nCount < magic.nCount) return false;
    if ((pBytes[0] & magic.nFirstMask) != static_cast<uint8_t>(magic.pBytes[0])) return false;
    return std::memcmp(pBytes + 1, magic.pBytes + 1, magic.nCount - 1) == 0;
}

}  // namespace

const char* ImageFormatName(EImageFormat eFormat)
{
    return FactsOf(eFormat).pszName;
}

const char* ImageFormatWithArticle(EImageFormat eFormat)
{
    return FactsOf(eFormat).pszWithArticle;
}

const char* ImageFormatSuffix(EImageFormat eFormat)
{
    return FactsOf(eFormat).pszSuffix;
}

std::optional<EImageFormat> FormatPromisedByName(const std::string& strPath)
{
    for (const T_NAME_PROMISE& promise : NAME_PROMISES) {
        if (EndsWith(strPath, promise.pszEnding)) return promise.eFormat;
    }
    return std::nullopt;
}

EImageFormat FormatAsked(const std::string& strPath, EFormatAsk eAsk)
{
    switch (eAsk) {
    case EFormatAsk::Gzip: return EImageFormat::Gzip;
    case EFormatAsk::Raw: return EImageFormat::Raw;
    case EFormatAsk::ByName: break;
    }
    return FormatPromisedByName(strPath).value_or(EImageFormat::Raw);
}

EImageFormat FormatShownByBytes(const uint8_t* pBytes, size_t nCount)
{
    for (const T_MAGIC& magic : MAGICS) {
        if (Matches(magic, pBytes, nCount)) return magic.eFormat;
    }
    return EImageFormat::Raw;
}
