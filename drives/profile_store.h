#pragma once
// The port to the settings file: named text values in named sections, read
// and written one key at a time as the platform's private-profile functions
// do (GetPrivateProfileStringW, GetPrivateProfileIntW and
// WritePrivateProfileStringW on Windows, our own INI file elsewhere).
// Section and key names match without regard to ASCII case. Nothing here
// fails loudly: a file that is missing, unreadable or not text reads as
// defaults, and a write that cannot be done returns false.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct T_PROFILE_KEY {
    std::string strSection;
    std::string strKey;
};

class IProfileStore {
public:
    virtual ~IProfileStore() = default;

    // The key's value with its surrounding blanks and one pair of enclosing
    // quotes removed, cut to nMaxChars characters; strDefault when the file,
    // the section or the key is missing.
    virtual std::string GetString(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                                  std::string_view strDefault, size_t nMaxChars) = 0;
    // The value read as an integer (see ParseProfileInt); nDefault when the
    // key is missing or its value is empty.
    virtual int32_t GetInt(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                           int32_t nDefault) = 0;
    // Every key of the file with the section it is under, in the file's
    // order. Keys above the first section header, which no reading finds,
    // come with an empty section name where the platform can list them (our
    // own file; the private-profile functions cannot).
    virtual std::vector<T_PROFILE_KEY> ListKeys(const std::string& strPath) = 0;
    // Sets the key, adding the file, the section and the key as needed and
    // keeping every other line of the file.
    virtual bool WriteString(const std::string& strPath, std::string_view strSection, std::string_view strKey,
                             std::string_view strValue) = 0;
};

// The platform's store.
std::unique_ptr<IProfileStore> CreateProfileStore();

// How a settings value reads as a number, as GetPrivateProfileIntW does
// it: leading blanks are skipped, one "+" or "-" may follow, then "0x",
// "0o" or "0b" choose base 16, 8 or 2 (else base 10), and the digits run to
// the first character that is not one. No digits read as 0.
// The value wraps modulo 2^32 and a "-" negates it, so "-1" and
// "4294967295" are both -1 (flags and drive keys read this way).
int32_t ParseProfileInt(std::string_view strText);
// The same number without the wrap: digits beyond 64 bits keep it at the
// largest 64-bit value of its sign. Sizes and counts read this way, so
// that a number out of their range can be told from one within it.
int64_t ParseProfileNumber(std::string_view strText);
