// Drive letter lists to letter masks.
#include "drives/settings_letters.h"

namespace {

// The upper-case letter of one byte of UTF-8 text, or 0. Bytes of a
// character beyond ASCII never are letters here.
char UpperLetter(char c)
{
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return c;
    return 0;
}

}  // namespace

uint32_t LetterMask(std::string_view strLetters)
{
    uint32_t dwMask = 0;
    for (char c : strLetters) {
        if (const char chLetter = UpperLetter(c)) dwMask |= LetterBit(chLetter);
    }
    return dwMask;
}

std::vector<char> LetterSequence(std::string_view strLetters)
{
    std::vector<char> letters;
    uint32_t dwSeen = 0;
    for (char c : strLetters) {
        const char chLetter = UpperLetter(c);
        if (!chLetter || (dwSeen & LetterBit(chLetter))) continue;
        dwSeen |= LetterBit(chLetter);
        letters.push_back(chLetter);
    }
    return letters;
}
