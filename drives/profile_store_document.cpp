// Reading and changing the lines of a settings file's text.
#include "drives/profile_store_document.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

namespace {

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

// Well-formed UTF-8 without NUL: shortest forms only, no surrogates, at
// most U+10FFFF.
bool IsText(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == 0) return false;
        size_t n = 0;
        uint32_t cp = 0;
        if (c < 0x80) n = 0, cp = c;
        else if (c >= 0xC2 && c <= 0xDF) n = 1, cp = c & 0x1Fu;
        else if (c >= 0xE0 && c <= 0xEF) n = 2, cp = c & 0x0Fu;
        else if (c >= 0xF0 && c <= 0xF4) n = 3, cp = c & 0x07u;
        else return false;
        if (n > 0 && i + n >= s.size()) return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3Fu);
        }
        if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += n + 1;
    }
    return true;
}

// One line of text from its pieces.
std::string Joined(std::initializer_list<std::string_view> pieces)
{
    std::string strText;
    for (std::string_view piece : pieces) strText.append(piece);
    return strText;
}

bool HasLineBreakOrNul(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

CProfileDocument::CProfileDocument(std::string_view strText)
{
    if (strText.starts_with(BYTE_ORDER_MARK)) {
        m_strByteOrderMark = BYTE_ORDER_MARK;
        strText.remove_prefix(BYTE_ORDER_MARK.size());
    }
    while (!strText.empty()) {
        const size_t nBreak = strText.find_first_of("\r\n");
        if (nBreak == std::string_view::npos) {
            m_lines.push_back(ParseLine(std::string(strText), std::string()));
            break;
        }
        const size_t nEnd = strText.substr(nBreak).starts_with("\r\n") ? 2 : 1;
        m_lines.push_back(ParseLine(std::string(strText.substr(0, nBreak)), std::string(strText.substr(nBreak, nEnd))));
        strText.remove_prefix(nBreak + nEnd);
    }
}

CProfileDocument::T_LINE CProfileDocument::ParseLine(std::string strText, std::string strEnd)
{
    T_LINE line;
    const std::string_view strTrimmed = Trim(strText);
    line.bUsable = IsText(strText);
    const size_t nClose = strTrimmed.rfind(']');
    const size_t nEquals = strTrimmed.find('=');
    if (strTrimmed.starts_with('[') && nClose != std::string_view::npos) {
        // A header that is not text still ends the section before it.
        line.eKind = ELineKind::Section;
        line.strName = strTrimmed.substr(1, nClose - 1);
    } else if (line.bUsable && nEquals != std::string_view::npos) {
        line.eKind = ELineKind::Key;
        line.strName = Trim(strTrimmed.substr(0, nEquals));
    }
    line.strText = std::move(strText);
    line.strEnd = std::move(strEnd);
    return line;
}

std::optional<size_t> CProfileDocument::FindSection(std::string_view strSection) const
{
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const T_LINE& line = m_lines[i];
        if (line.eKind == ELineKind::Section && line.bUsable && SameName(line.strName, strSection)) return i;
    }
    return std::nullopt;
}

size_t CProfileDocument::SectionEnd(size_t nHeader) const
{
    size_t i = nHeader + 1;
    while (i < m_lines.size() && m_lines[i].eKind != ELineKind::Section) ++i;
    return i;
}

std::optional<size_t> CProfileDocument::FindKey(size_t nHeader, std::string_view strKey) const
{
    for (size_t i = nHeader + 1; i < SectionEnd(nHeader); ++i) {
        if (m_lines[i].eKind == ELineKind::Key && SameName(m_lines[i].strName, strKey)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> CProfileDocument::Find(std::string_view strSection, std::string_view strKey) const
{
    const std::optional<size_t> nHeader = FindSection(Trim(strSection));
    if (!nHeader) return std::nullopt;
    const std::optional<size_t> nKey = FindKey(*nHeader, Trim(strKey));
    if (!nKey) return std::nullopt;
    const std::string& strLine = m_lines[*nKey].strText;
    return std::string(Trim(std::string_view(strLine).substr(strLine.find('=') + 1)));
}

std::vector<T_PROFILE_KEY> CProfileDocument::Keys() const
{
    std::vector<T_PROFILE_KEY> arrKeys;
    std::string strSection;
    for (const T_LINE& line : m_lines) {
        if (line.eKind == ELineKind::Section) strSection = line.strName;
        if (line.eKind == ELineKind::Key) arrKeys.push_back({strSection, line.strName});
    }
    return arrKeys;
}

bool CProfileDocument::Set(std::string_view strSection, std::string_view strKey, std::string_view strValue)
{
    strSection = Trim(strSection);
    strKey = Trim(strKey);
    if (strSection.empty() || strKey.empty() || HasLineBreakOrNul(strSection) || HasLineBreakOrNul(strKey) ||
        HasLineBreakOrNul(strValue) || strSection.find(']') != std::string_view::npos ||
        strKey.find('=') != std::string_view::npos || strKey.starts_with('['))
        return false;
    std::optional<size_t> nHeader = FindSection(strSection);
    if (!nHeader) {
        // A blank line before a new section, unless the text is empty.
        if (!m_lines.empty()) InsertLine(m_lines.size(), std::string());
        InsertLine(m_lines.size(), Joined({"[", strSection, "]"}));
        nHeader = m_lines.size() - 1;
    }
    if (const std::optional<size_t> nKey = FindKey(*nHeader, strKey)) {
        T_LINE& line = m_lines[*nKey];
        line.strText = Joined({line.strName, "=", strValue});
        return true;
    }
    // After the last line of the section that is not blank.
    size_t nAt = SectionEnd(*nHeader);
    while (nAt > *nHeader + 1 && Trim(m_lines[nAt - 1].strText).empty()) --nAt;
    InsertLine(nAt, Joined({strKey, "=", strValue}));
    return true;
}

void CProfileDocument::InsertLine(size_t nAt, std::string strText)
{
    // The line before gets a line end if it was the last one without.
    if (nAt > 0 && m_lines[nAt - 1].strEnd.empty()) m_lines[nAt - 1].strEnd = NewLineEnd();
    T_LINE line = ParseLine(std::move(strText), NewLineEnd());
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(nAt), std::move(line));
}

// New lines end like the file's first line does; "\n" in a new file.
std::string CProfileDocument::NewLineEnd() const
{
    for (const T_LINE& line : m_lines) {
        if (!line.strEnd.empty()) return line.strEnd;
    }
    return "\n";
}

std::string CProfileDocument::Text() const
{
    std::string strText = m_strByteOrderMark;
    for (const T_LINE& line : m_lines) strText.append(line.strText).append(line.strEnd);
    return strText;
}

std::string ProfileValueAsRead(std::string_view strValue, size_t nMaxChars)
{
    if (strValue.size() >= 2 && (strValue.front() == '"' || strValue.front() == '\'') &&
        strValue.back() == strValue.front())
        strValue = strValue.substr(1, strValue.size() - 2);
    size_t nChars = 0;
    for (size_t i = 0; i < strValue.size(); ++i) {
        if ((static_cast<unsigned char>(strValue[i]) & 0xC0) == 0x80) continue;
        if (nChars++ == nMaxChars) return std::string(strValue.substr(0, i));
    }
    return std::string(strValue);
}
