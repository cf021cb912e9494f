// The digests' names and text; the computing is the platform adapter's.
#include "engine/core/digest.h"

const char* DigestName(EDigestKind eKind)
{
    return eKind == EDigestKind::Md5 ? "MD5" : "SHA-256";
}

std::string DigestText(std::span<const uint8_t> digest)
{
    static constexpr char HEX[] = "0123456789abcdef";
    std::string strText;
    for (const uint8_t b : digest) {
        strText += HEX[b >> 4];
        strText += HEX[b & 0x0F];
    }
    return strText;
}
