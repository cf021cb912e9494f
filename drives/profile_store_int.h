#pragma once
// How a settings value reads as a number, as GetPrivateProfileIntW does
// it: leading blanks are skipped, one "+" or "-" may follow, then "0x",
// "0o" or "0b" choose base 16, 8 or 2 (else base 10), and the digits run to
// the first character that is not one. No digits read as 0.
#include <cstdint>
#include <string_view>

// The value wraps modulo 2^32 and a "-" negates it, so "-1" and
// "4294967295" are both -1 (flags and drive keys read this way).
int32_t ParseProfileInt(std::string_view strText);
// The same number without the wrap: digits beyond 64 bits keep it at the
// largest 64-bit value of its sign. Sizes and counts read this way, so
// that a number out of their range can be told from one within it.
int64_t ParseProfileNumber(std::string_view strText);
