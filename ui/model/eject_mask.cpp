// The eject mask of a job.
#include "ui/model/eject_mask.h"

#include "drives/drive_info.h"
#include "ui/model/drive_rows.h"

uint32_t LetterMaskOfKey(uint32_t nKey, const FnDriveLetters& lettersOf)
{
    if (nKey == NO_DRIVE_KEY) return 0;
    uint32_t dwMask = 0;
    for (const std::string& strLetter : lettersOf(nKey >> 16, nKey & 0xFFFF)) dwMask |= LetterBit(strLetter);
    return dwMask;
}

uint32_t EjectMaskAtStart(bool bEjectOption, const std::array<bool, ROW_COUNT>& bChecked,
                          const std::array<uint32_t, ROW_COUNT>& nKey, const FnDriveLetters& lettersOf)
{
    if (!bEjectOption) return 0;
    uint32_t dwMask = 0;
    for (size_t r = 0; r < ROW_COUNT; ++r) {
        if (bChecked[r]) dwMask |= LetterMaskOfKey(nKey[r], lettersOf);
    }
    return dwMask;
}

uint32_t EjectMaskAfterFailure(uint32_t nMask, uint32_t nKey, const FnDriveLetters& lettersOf)
{
    return nMask & ~LetterMaskOfKey(nKey, lettersOf);
}

std::vector<int> LettersToEjectAtEnd(bool bEjectOption, uint32_t nMask, uint32_t dwHeldLetters)
{
    std::vector<int> arrLetters;
    if (!bEjectOption) return arrLetters;
    for (int n = 0; n < 26; ++n) {
        if ((nMask & dwHeldLetters) & (uint32_t{1} << n)) arrLetters.push_back(n);
    }
    return arrLetters;
}
