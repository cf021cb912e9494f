// What every volume scanner shares: reading a letter's DOS device target.
#include "drives/volume_scanner.h"

#include <algorithm>
#include <cstdint>

namespace {

const char FLOPPY_PREFIX[] = "\\Device\\Floppy";
constexpr size_t FLOPPY_PREFIX_LENGTH = sizeof FLOPPY_PREFIX - 1;

// The decimal number at the start of the text, as atoi reads it (blanks,
// a sign, digits); 0 when there is none. Kept within 32 bits.
int32_t LeadingNumber(const std::string& strText)
{
    size_t i = 0;
    while (i < strText.size() && (strText[i] == ' ' || strText[i] == '\t')) ++i;
    bool bNegative = false;
    if (i < strText.size() && (strText[i] == '+' || strText[i] == '-')) bNegative = strText[i++] == '-';
    int64_t nValue = 0;
    for (; i < strText.size() && strText[i] >= '0' && strText[i] <= '9'; ++i) {
        nValue = std::min<int64_t>(nValue * 10 + (strText[i] - '0'), INT32_MAX);
    }
    return static_cast<int32_t>(bNegative ? -nValue : nValue);
}

}  // namespace

T_DOS_DEVICE ParseDosDevice(const std::string& strTarget)
{
    T_DOS_DEVICE device;
    device.strTarget = strTarget;
    device.bFloppy = strTarget.compare(0, FLOPPY_PREFIX_LENGTH, FLOPPY_PREFIX) == 0;
    if (device.bFloppy) device.nFloppy = LeadingNumber(strTarget.substr(FLOPPY_PREFIX_LENGTH));
    return device;
}
