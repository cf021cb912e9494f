#include "engine/zlib/gzip_member.h"

#include <cstring>

#include "engine/zlib/deflate_params.h"
#include "engine/zlib/zlib_binding.h"

namespace {
constexpr uint8_t FLAG_HEADER_CRC = 0x02;
constexpr uint8_t FLAG_EXTRA = 0x04;
constexpr uint8_t FLAG_NAME = 0x08;
constexpr uint8_t FLAG_COMMENT = 0x10;
constexpr uint8_t FLAGS_RESERVED = 0xE0;
}  // namespace

bool LibraryGzipHeader(const T_ZLIB_ENTRY_POINTS& zlib, uint8_t (&header)[GZIP_HEADER_SIZE])
{
    z_stream s{};
    if (zlib.deflateInit2_(&s, IMAGE_LEVEL, Z_DEFLATED, WINDOW_BITS_GZIP, IMAGE_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                           ZLIB_VERSION, static_cast<int>(sizeof(z_stream))) != Z_OK) {
        return false;
    }
    uint8_t member[64];
    s.next_out = member;
    s.avail_out = sizeof member;
    const int nResult = zlib.deflate(&s, Z_FINISH);
    const uInt nProduced = sizeof member - s.avail_out;
    zlib.deflateEnd(&s);
    if (nResult != Z_STREAM_END || nProduced < GZIP_HEADER_SIZE + GZIP_TRAILER_SIZE) return false;
    std::memcpy(header, member, GZIP_HEADER_SIZE);
    return true;
}

void PutGzipTrailer(uint32_t nCrc, uint64_t nLength, uint8_t (&trailer)[GZIP_TRAILER_SIZE])
{
    const auto nSize = static_cast<uint32_t>(nLength);
    for (int i = 0; i < 4; ++i) {
        trailer[i] = static_cast<uint8_t>(nCrc >> (8 * i));
        trailer[4 + i] = static_cast<uint8_t>(nSize >> (8 * i));
    }
}

uint32_t LittleEndian32(const uint8_t* p)
{
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

CGzipHeaderParser::EState CGzipHeaderParser::Feed(uint8_t b)
{
    if (m_ePart == EPart::HeaderCrc) {
        m_nValue |= uint32_t{b} << (8 * m_nSeen);
        if (++m_nSeen < 2) return EState::More;
        return m_nValue == (m_nCrc & 0xFFFF) ? EState::Done : EState::Bad;
    }
    m_nCrc = m_pfnCrc32(m_nCrc, &b, 1);
    return Byte(b);
}

CGzipHeaderParser::EState CGzipHeaderParser::Byte(uint8_t b)
{
    static constexpr uint8_t MAGIC[] = {0x1F, 0x8B, Z_DEFLATED};
    switch (m_ePart) {
    case EPart::Fixed:
        if (m_nSeen < sizeof MAGIC && b != MAGIC[m_nSeen]) return EState::Bad;
        if (m_nSeen == 3) {
            if (b & FLAGS_RESERVED) return EState::Bad;
            m_nFlags = b;
        }
        return ++m_nSeen == GZIP_HEADER_SIZE ? Next() : EState::More;
    case EPart::ExtraLength:
        m_nValue |= uint32_t{b} << (8 * m_nSeen);
        return ++m_nSeen == 2 ? Next() : EState::More;
    case EPart::Extra: return ++m_nSeen == m_nValue ? Next() : EState::More;
    case EPart::Name:
    case EPart::Comment: return b == 0 ? Next() : EState::More;
    default: return EState::Bad;  // no byte belongs to the end
    }
}

// The next part the flags announce. An extra field of length 0 has no
// bytes; the header CRC starts a value of its own.
CGzipHeaderParser::EState CGzipHeaderParser::Next()
{
    const uint32_t nExtraLength = m_nValue;
    m_nSeen = 0;
    for (;;) {
        switch (m_ePart) {
        case EPart::Fixed: m_ePart = EPart::ExtraLength; break;
        case EPart::ExtraLength: m_ePart = EPart::Extra; break;
        case EPart::Extra: m_ePart = EPart::Name; break;
        case EPart::Name: m_ePart = EPart::Comment; break;
        case EPart::Comment: m_ePart = EPart::HeaderCrc; break;
        default: m_ePart = EPart::End; break;
        }
        bool bPresent = true;
        switch (m_ePart) {
        case EPart::ExtraLength: bPresent = m_nFlags & FLAG_EXTRA; break;
        case EPart::Extra: bPresent = (m_nFlags & FLAG_EXTRA) && nExtraLength > 0; break;
        case EPart::Name: bPresent = m_nFlags & FLAG_NAME; break;
        case EPart::Comment: bPresent = m_nFlags & FLAG_COMMENT; break;
        case EPart::HeaderCrc: bPresent = m_nFlags & FLAG_HEADER_CRC; break;
        default: return EState::Done;
        }
        if (!bPresent) continue;
        if (m_ePart != EPart::Extra) m_nValue = 0;
        return EState::More;
    }
}
