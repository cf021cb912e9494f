#pragma once
// One pass of an erase method, as a 32-bit code:
//   bits 0..7   the fill byte (fill kind), or the index k (0..255) of a
//               random sequence (the three random kinds);
//   bits 8..11  the kind: fill, a new random sequence k, sequence k again,
//               or the bitwise complement of sequence k;
//   bit 15      a verification pass: nothing is written, the drive is read
//               back and compared with the bytes bits 0..11 describe.
// Sequence k is named "RANDOM-<k+1>" in the log, its complement
// "RANDOM-<k+1>(COM)".
#include <cstdint>
#include <string>

constexpr uint32_t ERASE_PASS_KIND_MASK = 0xF00;
constexpr uint32_t ERASE_PASS_FILL = 0x000;
constexpr uint32_t ERASE_PASS_RANDOM = 0x100;
constexpr uint32_t ERASE_PASS_REPEAT = 0x200;
constexpr uint32_t ERASE_PASS_COMPLEMENT = 0x300;
constexpr uint32_t ERASE_PASS_VERIFY = 0x8000;

constexpr uint32_t ErasePassKind(uint32_t nCode)
{
    return nCode & ERASE_PASS_KIND_MASK;
}
// The fill byte of a fill pass, the sequence index k of the others.
constexpr uint8_t ErasePassByte(uint32_t nCode)
{
    return static_cast<uint8_t>(nCode & 0xFF);
}
constexpr bool IsVerifyPass(uint32_t nCode)
{
    return (nCode & ERASE_PASS_VERIFY) != 0;
}
constexpr bool IsRandomPass(uint32_t nCode)
{
    return ErasePassKind(nCode) != ERASE_PASS_FILL;
}

// The line that opens pass nPass of nPasses on a drive:
// "<name> - PASS 3/7, WRITE RANDOM-2.", "... VERIFY 0x00." and so on.
std::string ErasePassLine(const std::string& strName, uint32_t nPass, uint32_t nPasses, uint32_t nCode);
