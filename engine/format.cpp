#include "engine/format.h"

#include <cstdio>

namespace {

// One conversion of the format: "%[flags][width][.precision][size]type".
struct TSpec {
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
size_t ReadSizePrefix(std::string_view f, size_t pos, TSpec& spec)
{
    std::string_view rest = f.substr(pos);
    if (rest.starts_with("I64") || rest.starts_with("ll")) {
        spec.bWide64 = true;
        return rest[0] == 'I' ? 3 : 2;
    }
    if (rest.starts_with("I32")) return 3;
    if (rest.starts_with("hh")) {
        spec.bShort = spec.bChar = true;
        return 2;
    }
    if (rest.empty()) return 0;
    switch (rest[0]) {
    case 'l': case 'j': case 'z': case 't': case 'I': case 'L': case 'q':
        spec.bWide64 = true;
        return 1;
    case 'h':
        spec.bShort = true;
        return 1;
    case 'w':
        return 1;
    default:
        return 0;
    }
}

// Parses the conversion that starts after '%' at pos; returns the index
// just past it, or npos when the format ends inside it.
size_t ParseSpec(std::string_view f, size_t pos, TSpec& spec)
{
    while (pos < f.size() && IsFlag(f[pos])) spec.strFlags.push_back(f[pos++]);
    while (pos < f.size() && IsDigit(f[pos])) spec.strWidth.push_back(f[pos++]);
    if (pos < f.size() && f[pos] == '.') {
        spec.strPrecision.push_back('.');
        ++pos;
        while (pos < f.size() && IsDigit(f[pos])) spec.strPrecision.push_back(f[pos++]);
    }
    pos += ReadSizePrefix(f, pos, spec);
    if (pos >= f.size()) return std::string_view::npos;
    spec.cType = f[pos];
    return pos + 1;
}

std::string Printf(const std::string& strSpec, auto value)
{
    char small[128];
    int n = std::snprintf(small, sizeof small, strSpec.c_str(), value);
    if (n < 0) return BAD_ARG;
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), strSpec.c_str(), value);
    big.resize(static_cast<size_t>(n));
    return big;
}

// "%" with the flags, width and precision, ready for the conversion.
std::string Head(const TSpec& spec, std::string_view strConversion)
{
    std::string strSpec;
    strSpec.reserve(8 + spec.strFlags.size() + spec.strWidth.size() + spec.strPrecision.size());
    strSpec.append(1, '%').append(spec.strFlags).append(spec.strWidth).append(spec.strPrecision);
    strSpec.append(strConversion);
    return strSpec;
}

std::string FormatInteger(const TSpec& spec, const CFormatArg& arg)
{
    if (arg.Kind() != CFormatArg::EKind::Signed && arg.Kind() != CFormatArg::EKind::Unsigned) return BAD_ARG;
    const bool bSigned = spec.cType == 'd' || spec.cType == 'i';
    const char conversion[] = {'l', 'l', spec.cType, '\0'};
    const std::string strSpec = Head(spec, conversion);
    if (bSigned) {
        int64_t v = arg.Signed();
        if (spec.bChar) v = static_cast<int8_t>(v);
        else if (spec.bShort) v = static_cast<int16_t>(v);
        else if (!spec.bWide64) v = static_cast<int32_t>(v);
        return Printf(strSpec, static_cast<long long>(v));
    }
    uint64_t v = arg.Unsigned();
    if (spec.bChar) v = static_cast<uint8_t>(v);
    else if (spec.bShort) v = static_cast<uint16_t>(v);
    else if (!spec.bWide64) v = static_cast<uint32_t>(v);
    return Printf(strSpec, static_cast<unsigned long long>(v));
}

std::string FormatReal(const TSpec& spec, const CFormatArg& arg)
{
    double v = 0.0;
    switch (arg.Kind()) {
    case CFormatArg::EKind::Real: v = arg.Real(); break;
    case CFormatArg::EKind::Signed: v = static_cast<double>(arg.Signed()); break;
    case CFormatArg::EKind::Unsigned: v = static_cast<double>(arg.Unsigned()); break;
    default: return BAD_ARG;
    }
    const char conversion[] = {spec.cType, '\0'};
    return Printf(Head(spec, conversion), v);
}

std::string FormatTextArg(const TSpec& spec, const CFormatArg& arg)
{
    if (arg.Kind() != CFormatArg::EKind::Text) return BAD_ARG;
    std::string strText(arg.Text());
    return Printf(Head(spec, "s"), strText.c_str());
}

std::string FormatChar(const TSpec& spec, const CFormatArg& arg)
{
    if (arg.Kind() != CFormatArg::EKind::Signed && arg.Kind() != CFormatArg::EKind::Unsigned) return BAD_ARG;
    return Printf(Head(spec, "c"), static_cast<int>(static_cast<unsigned char>(arg.Unsigned())));
}

std::string FormatOne(const TSpec& spec, const CFormatArg* pArg)
{
    if (!pArg) return MISSING_ARG;
    switch (spec.cType) {
    case 'd': case 'i': case 'u': case 'x': case 'X': case 'o':
        return FormatInteger(spec, *pArg);
    case 'f': case 'F': case 'e': case 'E': case 'g': case 'G':
        return FormatReal(spec, *pArg);
    case 's': case 'S':
        return FormatTextArg(spec, *pArg);
    case 'c': case 'C':
        return FormatChar(spec, *pArg);
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
        TSpec spec;
        size_t end = ParseSpec(strFormat, pct + 1, spec);
        if (end == std::string_view::npos) {
            out.append(strFormat.substr(pct));  // a lone '%' at the end stays as it is
            break;
        }
        const CFormatArg* pArg = nextArg < args.size() ? &args[nextArg] : nullptr;
        ++nextArg;
        out += FormatOne(spec, pArg);
        pos = end;
    }
    return out;
}
