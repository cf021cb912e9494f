#include "engine/core/md5.h"

#include "engine/core/format.h"

std::string Md5Text(const T_MD5_DIGEST& digest)
{
    std::string strText;
    for (uint8_t b : digest) strText += FormatText("%02x", b);
    return strText;
}
