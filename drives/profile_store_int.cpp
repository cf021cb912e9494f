// Settings values as integers, digit by digit.
#include "drives/profile_store_int.h"

namespace {

// The digit's value in bases up to 36, or 36 for any other character.
uint32_t DigitValue(char c)
{
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
    if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a') + 10;
    if (c >= 'A' && c <= 'Z') return static_cast<uint32_t>(c - 'A') + 10;
    return 36;
}

}  // namespace

int32_t ParseProfileInt(std::string_view strText)
{
    size_t pos = 0;
    // Blanks here are every character up to the space, controls included.
    while (pos < strText.size() && static_cast<unsigned char>(strText[pos]) <= ' ') ++pos;
    bool bNegative = false;
    if (pos < strText.size() && (strText[pos] == '-' || strText[pos] == '+')) bNegative = strText[pos++] == '-';
    uint32_t nBase = 10;
    if (pos + 1 < strText.size() && strText[pos] == '0') {
        switch (strText[pos + 1]) {
        case 'x': nBase = 16; break;
        case 'o': nBase = 8; break;
        case 'b': nBase = 2; break;
        default: break;
        }
        if (nBase != 10) pos += 2;
    }
    uint32_t nValue = 0;
    for (; pos < strText.size(); ++pos) {
        const uint32_t nDigit = DigitValue(strText[pos]);
        if (nDigit >= nBase) break;
        nValue = nValue * nBase + nDigit;
    }
    if (bNegative) nValue = 0u - nValue;
    return static_cast<int32_t>(nValue);
}
