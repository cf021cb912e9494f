#include "engine/erase/erase_pass.h"

#include "engine/core/format.h"

std::string ErasePassLine(const std::string& strName, uint32_t nPass, uint32_t nPasses, uint32_t nCode)
{
    const char* pWord = IsVerifyPass(nCode) ? "VERIFY" : "WRITE";
    const uint32_t nByte = ErasePassByte(nCode);
    switch (ErasePassKind(nCode)) {
    case ERASE_PASS_FILL: return FormatText("%s - PASS %d/%d, %s 0x%02X.\n", strName, nPass, nPasses, pWord, nByte);
    case ERASE_PASS_COMPLEMENT:
        return FormatText("%s - PASS %d/%d, %s RANDOM-%d(COM).\n", strName, nPass, nPasses, pWord, nByte + 1);
    default: return FormatText("%s - PASS %d/%d, %s RANDOM-%d.\n", strName, nPass, nPasses, pWord, nByte + 1);
    }
}
