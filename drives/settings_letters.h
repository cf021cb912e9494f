#pragma once
// Drive letters as bit masks, bit 0 = A: to bit 25 = Z:. A letter list is
// the text the operator typed: letters of either case count, everything
// else and repetitions are ignored, so "ab1" and "BAb" are A: and B:.
#include <cstdint>
#include <string_view>
#include <vector>

uint32_t LetterMask(std::string_view strLetters);

// The letters of a list in the order typed, upper case, each once.
std::vector<char> LetterSequence(std::string_view strLetters);

constexpr uint32_t LetterBit(char chUpper)
{
    return uint32_t{1} << (chUpper - 'A');
}
