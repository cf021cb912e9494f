#pragma once
// The volumes to eject when a job ends well (the eject option): at the
// start, every letter of every checked row's drive; a drive that fails
// takes its letters out again, so only good drives are ejected; at the end
// only the letters whose volumes the window holds are ejected by it (the
// job runner ejects the others itself).
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ui/model/control_ids.h"

// The letters of a drive's volumes (CDriveInfo::GetDriveLetters).
using FnDriveLetters = std::function<std::vector<std::string>(uint32_t nKind, uint32_t nNumber)>;

// The letters of the drive with this row key as a mask (bit 0 = A:);
// names that are not one letter have no bit.
uint32_t LetterMaskOfKey(uint32_t nKey, const FnDriveLetters& lettersOf);

// The mask at a job's start; 0 without the eject option.
uint32_t EjectMaskAtStart(bool bEjectOption, const std::array<bool, ROW_COUNT>& bChecked,
                          const std::array<uint32_t, ROW_COUNT>& nKey, const FnDriveLetters& lettersOf);

// The mask after the drive with this key failed.
uint32_t EjectMaskAfterFailure(uint32_t nMask, uint32_t nKey, const FnDriveLetters& lettersOf);

// The letter indexes (0 = A:) the window ejects at the job's end.
std::vector<int> LettersToEjectAtEnd(bool bEjectOption, uint32_t nMask, uint32_t dwHeldLetters);
