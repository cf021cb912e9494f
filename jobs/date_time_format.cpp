// The directive language of CDateTime::Format. After "%" come an optional
// width part (decimal digits; a leading "0" pads with zeros) and one
// directive letter. Numbers print as printf's "%<width>d" would, names as
// "%<width>s" after being cut to the width. Whatever else follows the width
// part prints nothing, and a format that ends inside a directive ends there.
#include <algorithm>
#include <string>

#include "jobs/date_time.h"

namespace {

// Wider padding than this is taken as this; nothing prints that wide.
constexpr size_t MAX_WIDTH = 4096;

struct T_WIDTH {
    bool bZeroPad = false;
    size_t nWidth = 0;  // 0 when the part is empty
};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

T_WIDTH ReadWidth(std::string_view strPart)
{
    T_WIDTH width;
    width.bZeroPad = !strPart.empty() && strPart.front() == '0';
    for (char c : strPart) width.nWidth = std::min<size_t>(width.nWidth * 10 + static_cast<size_t>(c - '0'), MAX_WIDTH);
    return width;
}

// Code points of UTF-8 text: every byte that does not continue a sequence.
size_t CountCharacters(std::string_view strText)
{
    return static_cast<size_t>(std::count_if(strText.begin(), strText.end(),
                                             [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The first nCount code points of UTF-8 text.
std::string_view FirstCharacters(std::string_view strText, size_t nCount)
{
    size_t nSeen = 0;
    for (size_t i = 0; i < strText.size(); ++i) {
        if ((static_cast<unsigned char>(strText[i]) & 0xC0) == 0x80) continue;
        if (nSeen++ == nCount) return strText.substr(0, i);
    }
    return strText;
}

// Bytes of the character that starts at pos, so that a directive that is
// not one of ours never leaves half a UTF-8 sequence behind.
size_t CharacterLength(std::string_view strText, size_t pos)
{
    size_t n = 1;
    while (pos + n < strText.size() && (static_cast<unsigned char>(strText[pos + n]) & 0xC0) == 0x80) ++n;
    return n;
}

// Right-aligned in the width, like printf without the "-" flag. Like the
// Windows run-time's printf, a "0" flag pads names with zeros too.
void AppendPadded(std::string& out, std::string_view strText, const T_WIDTH& width)
{
    const size_t nLength = CountCharacters(strText);
    if (nLength < width.nWidth) out.append(width.nWidth - nLength, width.bZeroPad ? '0' : ' ');
    out.append(strText);
}

void AppendNumber(std::string& out, uint64_t nValue, const T_WIDTH& width)
{
    AppendPadded(out, std::to_string(nValue), width);
}

// A name from a table, or "***" with no width when the index is outside it.
template <size_t N>
void AppendName(std::string& out, const std::array<std::string, N>& names, uint32_t nIndex, const T_WIDTH& width)
{
    if (nIndex >= N) {
        out.append("***");
        return;
    }
    std::string_view strName = names[nIndex];
    if (width.nWidth >= 1) strName = FirstCharacters(strName, width.nWidth);
    AppendPadded(out, strName, width);
}

}  // namespace

std::string CDateTime::Format(std::string_view strFormat) const
{
    std::string out;
    out.reserve(strFormat.size() + 16);
    size_t pos = 0;
    while (pos < strFormat.size()) {
        const char c = strFormat[pos++];
        if (c != '%') {
            out.push_back(c);
            continue;
        }
        if (pos < strFormat.size() && strFormat[pos] == '%') {
            out.push_back('%');
            ++pos;
            continue;
        }
        const size_t nWidthStart = pos;
        while (pos < strFormat.size() && IsDigit(strFormat[pos])) ++pos;
        if (pos == strFormat.size()) break;  // "%" or a width part at the very end
        const T_WIDTH width = ReadWidth(strFormat.substr(nWidthStart, pos - nWidthStart));
        switch (strFormat[pos]) {
        case 'Y': AppendNumber(out, m_st.wYear, width); break;
        case 'M': AppendNumber(out, m_st.wMonth, width); break;
        case 'D': AppendNumber(out, m_st.wDay, width); break;
        case 'd': AppendNumber(out, m_nDays, width); break;
        case 'h': AppendNumber(out, m_st.wHour, width); break;
        case 'm': AppendNumber(out, m_st.wMinute, width); break;
        case 's': AppendNumber(out, m_st.wSecond, width); break;
        case 't': AppendNumber(out, m_st.wMilliseconds, width); break;
        case 'u': AppendNumber(out, m_wMicrosecond, width); break;
        // Month 1 is the first name; month 0 wraps far outside the table.
        case 'S': AppendName(out, m_strMonthName, m_st.wMonth - 1u, width); break;
        case 'W': AppendName(out, m_strDayName, m_st.wDayOfWeek, width); break;
        default: break;
        }
        pos += CharacterLength(strFormat, pos);
    }
    return out;
}
