// What every settings store shares: values read as numbers digit by digit,
// and where the settings file lives.
#include "drives/profile_store.h"

#include <limits>

#include "drives/settings_path.h"

namespace {

// The digit's value in bases up to 36, or 36 for any other character.
uint32_t DigitValue(char c)
{
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
    if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a') + 10;
    if (c >= 'A' && c <= 'Z') return static_cast<uint32_t>(c - 'A') + 10;
    return 36;
}

struct T_DIGITS {
    bool bNegative = false;
    uint32_t nWrapped = 0;  // modulo 2^32
    uint64_t nValue = 0;    // held at the largest 64-bit value
};

T_DIGITS ReadDigits(std::string_view strText)
{
    T_DIGITS digits;
    size_t pos = 0;
    // Blanks here are every character up to the space, controls included.
    while (pos < strText.size() && static_cast<unsigned char>(strText[pos]) <= ' ') ++pos;
    if (pos < strText.size() && (strText[pos] == '-' || strText[pos] == '+')) digits.bNegative = strText[pos++] == '-';
    uint32_t nBase = 10;
    if (pos + 1 < strText.size() && strText[pos] == '0') {
        switch (strText[pos + 1]) {
        case 'x': nBase = 16; break;
        case 'o': nBase = 8; break;
        case 'b': nBase = 2; break;
        default: break;
        }
        if (nBase != 10) pos += 2;
    }
    constexpr uint64_t MAX = std::numeric_limits<uint64_t>::max();
    for (; pos < strText.size(); ++pos) {
        const uint32_t nDigit = DigitValue(strText[pos]);
        if (nDigit >= nBase) break;
        digits.nWrapped = digits.nWrapped * nBase + nDigit;
        digits.nValue = digits.nValue > (MAX - nDigit) / nBase ? MAX : digits.nValue * nBase + nDigit;
    }
    return digits;
}

}  // namespace

int32_t ParseProfileInt(std::string_view strText)
{
    const T_DIGITS digits = ReadDigits(strText);
    return static_cast<int32_t>(digits.bNegative ? 0u - digits.nWrapped : digits.nWrapped);
}

int64_t ParseProfileNumber(std::string_view strText)
{
    const T_DIGITS digits = ReadDigits(strText);
    constexpr auto MAX = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (!digits.bNegative) return static_cast<int64_t>(digits.nValue > MAX ? MAX : digits.nValue);
    return digits.nValue > MAX ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(digits.nValue);
}

std::string SettingsPathBesideModule(std::string_view strModulePath)
{
    const size_t nSlash = strModulePath.rfind('\\');
    if (nSlash != std::string_view::npos && nSlash != 0) strModulePath = strModulePath.substr(0, nSlash);
    return std::string(strModulePath) + "\\" + std::string(SETTINGS_FILE_NAME);
}

std::string SettingsPathInConfigHome(std::string_view strXdgConfigHome, std::string_view strHome)
{
    const bool bXdg = strXdgConfigHome.starts_with('/');
    if (!bXdg && strHome.empty()) return std::string();
    std::string_view strFolder = bXdg ? strXdgConfigHome : strHome;
    while (!strFolder.empty() && strFolder.back() == '/') strFolder.remove_suffix(1);
    return std::string(strFolder) + (bXdg ? "" : "/.config") + "/gravelmoor/" + std::string(SETTINGS_FILE_NAME);
}
