#pragma once
// The framing of one gzip member (RFC 1952) around raw deflate data, for
// the streams that compress or inflate the data on threads of their own:
// the header as the bound library writes it, the trailer, and a parser of
// any header that the library itself would accept.
#include <cstdint>

struct T_ZLIB_ENTRY_POINTS;

constexpr uint32_t GZIP_HEADER_SIZE = 10;  // without name, comment or extra field
constexpr uint32_t GZIP_TRAILER_SIZE = 8;

// The header that the library writes for an image (level 6, no name, time 0,
// its own OS byte), taken from a member of nothing that it compresses, so a
// member framed with it starts exactly as the library's own would. False
// when the library fails to produce one.
bool LibraryGzipHeader(const T_ZLIB_ENTRY_POINTS& zlib, uint8_t (&header)[GZIP_HEADER_SIZE]);

// CRC-32 and ISIZE (the length modulo 2^32), both little-endian.
void PutGzipTrailer(uint32_t nCrc, uint64_t nLength, uint8_t (&trailer)[GZIP_TRAILER_SIZE]);
uint32_t LittleEndian32(const uint8_t* p);

// Takes a gzip header byte by byte and says when it is complete, with the
// checks the library makes: the deflate method, no reserved flag, and the
// header's own CRC-16 when it carries one. An extra field, a name and a
// comment are skipped.
class CGzipHeaderParser {
public:
    enum class EState { More, Done, Bad };
    using PFN_CRC32 = unsigned long (*)(unsigned long, const unsigned char*, unsigned int);

    explicit CGzipHeaderParser(PFN_CRC32 pfnCrc32) : m_pfnCrc32(pfnCrc32) {}
    EState Feed(uint8_t b);

private:
    enum class EPart { Fixed, ExtraLength, Extra, Name, Comment, HeaderCrc, End };
    EState Next();
    EState Byte(uint8_t b);

    PFN_CRC32 m_pfnCrc32;
    EPart m_ePart = EPart::Fixed;
    uint8_t m_nFlags = 0;
    uint32_t m_nSeen = 0;   // bytes of the current part so far
    uint32_t m_nValue = 0;  // the extra field's length, or the header CRC being read
    unsigned long m_nCrc = 0;  // CRC-32 of the header bytes in front of the current one
};
