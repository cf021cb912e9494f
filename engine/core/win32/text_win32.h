#pragma once
// Text is UTF-8 everywhere inside the program; Win32 calls take UTF-16.
// These two are the only conversions, made right at the call.
#include <string>
#include <string_view>

// Invalid UTF-8 sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view strText);
// Unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view strText);
