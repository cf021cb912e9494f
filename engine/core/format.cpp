#include "engine/core/format.h"

#include <clocale>
#include <cstdio>

namespace {

// One conversion of the format: "%[flags][width][.precision][size]type".
struct TConversion {
    std::string strFlags;
    std::string strWidth;
    std::string strPrecision;  // with its dot, or empty
    bool bWide64 = false;      // I64, ll, l, j, z, t, I: the argument's full 64 bits
    bool bShort = false;       // h, hh: printf would narrow; we do the same
    bool bChar = false;        // hh
    char cType = 0;
};

const char MISSING_ARG[] = "(missing)";
const char BAD_ARG[] = "(bad argument)";

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the size prefix at pos; returns the characters it used.
size_t ReadSizePrefix(std::string_view f, size_t pos, TConversion& conv)
{
    std::string_view rest = f.substr(pos);
    if (rest.starts_with("I64") || rest.starts_with("ll")) {
        conv.bWide64 = true;
        return rest[0] == 'I' ? 3 : 2;
    }
    if (rest.starts_with("I32")) return 3;
    if (rest.starts_with("hh")) {
        conv.bShort = conv.bChar = true;
        return 2;
    }
    if (rest.empty()) return 0;
    switch (rest[0]) {
    case 'l': case 'j': case 'z': case 't': case 'I': case 'L': case 'q':
        conv.bWide64 = true;
        return 1;
    case 'h':
        conv.bShort = true;
        return 1;
    case 'w':
        return 1;
    default:
        return 0;
    }
}

// Parses the conversion that starts after '%' at pos; returns the index
// just past it, or npos when the format ends inside it.
size_t ParseConversion(std::string_view f, size_t pos, TConversion& conv)
{
    while (pos < f.size() && IsFlag(f[pos])) conv.strFlags.push_back(f[pos++]);
    while (pos < f.size() && IsDigit(f[pos])) conv.strWidth.push_back(f[pos++]);
    if (pos < f.size() && f[pos] == '.') {
        conv.strPrecision.push_back('.');
        ++pos;
        while (pos < f.size() && IsDigit(f[pos])) conv.strPrecision.push_back(f[pos++]);
    }
    pos += ReadSizePrefix(f, pos, conv);
    if (pos >= f.size()) return std::string_view::npos;
    conv.cType = f[pos];
    return pos + 1;
}

std::string Printf(const std::string& strPattern, auto value)
{
    char small[128];
    int n = std::snprintf(small, sizeof small, strPattern.c_str(), value);
    if (n < 0) return BAD_ARG;
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), strPattern.c_str(), value);
    big.resize(static_cast<size_t>(n));
    return big;
}

// "%" with the flags, width and precision, ready for the conversion.
std::string Head(const TConversion& conv, std::string_view strConversion)
{
    std::string strPattern;
    strPattern.reserve(8 + conv.strFlags.size() + conv.strWidth.size() + conv.strPrecision.size());
    strPattern.append(1, '%').append(conv.strFlags).append(conv.strWidth).append(conv.strPrecision);
    strPattern.append(strConversion);
    return strPattern;
}

std::string FormatInteger(const TConversion& conv, const CFormatArg& arg)
{
    if (arg.Kind() != CFormatArg::EKind::Signed && arg.Kind() != CFormatArg::EKind::Unsigned) return BAD_ARG;
    const bool bSigned = conv.cType == 'd' || conv.cType == 'i';
    const char conversion[] = {'l', 'l', conv.cType, '\0'};
    const std::string strPattern = Head(conv, conversion);
    if (bSigned) {
        int64_t v = arg.Signed();
        if (conv.bChar) v = static_cast<int8_t>(v);
        else if (conv.bShort) v = static_cast<int16_t>(v);
        else if (!conv.bWide64) v = static_cast<int32_t>(v);
        return Printf(strPattern, static_cast<long long>(v));
    }
    uint64_t v = arg.Unsigned();
    if (conv.bChar) v = static_cast<uint8_t>(v);
    else if (conv.bShort) v = static_cast<uint16_t>(v);
    else if (!conv.bWide64) v = static_cast<uint32_t>(v);
    return Printf(strPattern, static_cast<unsigned long long>(v));
}

std::string FormatReal(const TConversion& conv, const CFormatArg& arg)
{
    double v = 0.0;
    switch (arg.Kind()) {
    case CFormatArg::EKind::Real: v = arg.Real(); break;
    case CFormatArg::EKind::Signed: v = static_cast<double>(arg.Signed()); break;
    case CFormatArg::EKind::Unsigned: v = static_cast<double>(arg.Unsigned()); break;
    default: return BAD_ARG;
    }
    const char conversion[] = {conv.cType, '\0'};
    return Printf(Head(conv, conversion), v);
}

std::string FormatTextArg(const TConversion& conv, const CFormatArg& arg)
{
    if (arg.Kind() != CFormatArg::EKind::Text) return BAD_ARG;
    std::string strText(arg.Text());
    return Printf(Head(conv, "s"), strText.c_str());
}

std::string FormatChar(const TConversion& conv, const CFormatArg& arg)
{
    if (arg.Kind() != CFormatArg::EKind::Signed && arg.Kind() != CFormatArg::EKind::Unsigned) return BAD_ARG;
    return Printf(Head(conv, "c"), static_cast<int>(static_cast<unsigned char>(arg.Unsigned())));
}

std::string FormatOne(const TConversion& conv, const CFormatArg* pArg)
{
    if (!pArg) return MISSING_ARG;
    switch (conv.cType) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
        return FormatInteger(conv, *pArg);
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G':
        return FormatReal(conv, *pArg);
    case 's': case 'S':
        return FormatTextArg(conv, *pArg);
    case 'c': case 'C':
        return FormatChar(conv, *pArg);
    default:
        return BAD_ARG;
    }
}

}  // namespace

std::string FormatTextV(std::string_view strFormat, std::span<const CFormatArg> args)
{
    std::string out;
    out.reserve(strFormat.size() + 32);
    size_t nextArg = 0;
    size_t pos = 0;
    while (pos < strFormat.size()) {
        size_t pct = strFormat.find('%', pos);
        if (pct == std::string_view::npos) {
            out.append(strFormat.substr(pos));
            break;
        }
        out.append(strFormat.substr(pos, pct - pos));
        if (pct + 1 < strFormat.size() && strFormat[pct + 1] == '%') {
            out += '%';
            pos = pct + 2;
            continue;
        }
        TConversion conv;
        size_t end = ParseConversion(strFormat, pct + 1, conv);
        if (end == std::string_view::npos) {
            out.append(strFormat.substr(pct));  // a lone '%' at the end stays as it is
            break;
        }
        const CFormatArg* pArg = nextArg < args.size() ? &args[nextArg] : nullptr;
        ++nextArg;
        out += FormatOne(conv, pArg);
        pos = end;
    }
    return out;
}

void UseUserLocale()
{
    std::setlocale(LC_ALL, "");
}
