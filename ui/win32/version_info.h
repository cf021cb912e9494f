#pragma once
// The running program's version resource: the file and product versions
// (four parts each, most significant first) and the strings of its first
// string table. A program without the resource reads as zeros and empty
// strings.
#include <array>
#include <cstdint>
#include <string>

class CVersionInfo {
public:
    CVersionInfo();
    virtual ~CVersionInfo() = default;

    // The product version through a format of four integers (major, minor,
    // revision, build): "V.%d.%d.%d", "Gravelmoor V.%d.%d.%d build %d".
    std::string ProductVersionText(const char* pszFormat) const;
    // The file version read as a date and the day's serial (year, month,
    // day, serial): " (%04d/%02d/%02d #%d)".
    std::string DateText(const char* pszFormat) const;
    // A string of the table ("Comments", "LegalCopyright", ...); empty when absent.
    std::string String(const char* pszKey) const;

    std::array<uint16_t, 4> m_nFileVersion = {0, 0, 0, 0};
    std::array<uint16_t, 4> m_nProductVersion = {0, 0, 0, 0};

private:
    std::string m_strBlock;  // "\StringFileInfo\041104B0\"
    std::string m_data;      // the resource's bytes
};
