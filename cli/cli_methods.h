#pragma once
// The "methods" command: every erase method of the catalogue with its id,
// its constant name, its log line and its passes, in a short notation:
// 0x00 a fill byte, R1 the first random sequence, ~R1 its complement,
// "V " in front of a verification pass.
#include <cstdint>
#include <string>

#include "cli/console.h"

// "R2", "~R1", "V 0x00", "V R1" for one pass code.
std::string ErasePassNotation(uint32_t nCode);
// The whole listing, as printed.
std::string EraseMethodsListing();
// Prints the listing on standard output: 0, or 1 when it could not be written.
int RunMethodsCommand(const T_CONSOLE_IO& io);
