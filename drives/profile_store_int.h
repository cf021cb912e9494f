#pragma once
// How a settings value reads as an integer, as GetPrivateProfileIntW does
// it: leading blanks are skipped, one "+" or "-" may follow, then "0x",
// "0o" or "0b" choose base 16, 8 or 2 (else base 10), and the digits run to
// the first character that is not one. No digits read as 0; the value wraps
// modulo 2^32 and a "-" negates it, so "-1" and "4294967295" are both -1.
#include <cstdint>
#include <string_view>

int32_t ParseProfileInt(std::string_view strText);
