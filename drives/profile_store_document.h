#pragma once
// The text of a settings file, line by line, with the reading and writing
// rules of the private-profile functions: "[Section]" lines open sections,
// "Key = Value" lines hold values, and the first section and the first key
// of a name count. Every other line (comments, blank lines, text that is
// not UTF-8 or holds NUL bytes) is ignored when reading and kept as it is
// when writing, as are the file's line ends and a leading byte-order mark.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drives/profile_store.h"

class CProfileDocument {
public:
    CProfileDocument() = default;
    explicit CProfileDocument(std::string_view strText);
    virtual ~CProfileDocument() = default;

    // The value as written, blanks around it removed; none when the section
    // or the key is missing or the line has no "=".
    std::optional<std::string> Find(std::string_view strSection, std::string_view strKey) const;
    // Replaces the value of the key, or adds the key at the end of its
    // section, or the section at the end of the text. False, and nothing
    // changes, when a name or the value cannot stand on one line as it is.
    bool Set(std::string_view strSection, std::string_view strKey, std::string_view strValue);

    // Every usable key line with its section's name ("" above the first
    // header), in order.
    std::vector<T_PROFILE_KEY> Keys() const;

    std::string Text() const;

private:
    enum class ELineKind { Other, Section, Key };
    struct T_LINE {
        std::string strText;  // without its line end
        std::string strEnd;   // "\n", "\r\n", "\r", or empty for the last line
        ELineKind eKind = ELineKind::Other;
        std::string strName;   // section or key name, as written
        bool bUsable = false;  // valid text: its name can match
    };
    static T_LINE ParseLine(std::string strText, std::string strEnd);
    // Index of the first usable section header of that name.
    std::optional<size_t> FindSection(std::string_view strSection) const;
    // Index of the first line after the section's header that is not in it.
    size_t SectionEnd(size_t nHeader) const;
    std::optional<size_t> FindKey(size_t nHeader, std::string_view strKey) const;
    void InsertLine(size_t nAt, std::string strText);
    std::string NewLineEnd() const;

    std::string m_strByteOrderMark;
    std::vector<T_LINE> m_lines;
};

// A value as the store hands it out: one pair of enclosing quotes ("..." or
// '...') removed, then cut to nMaxChars characters (never inside one).
std::string ProfileValueAsRead(std::string_view strValue, size_t nMaxChars);
