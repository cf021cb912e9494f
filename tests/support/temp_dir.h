#pragma once
// A temporary folder for one test, removed with everything in it.
#include <filesystem>
#include <string>
#include <vector>

class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    std::filesystem::path Path() const { return m_path; }
    // The UTF-8 path of a file in the folder (names are UTF-8 too).
    std::string File(const std::string& strName) const;

private:
    std::filesystem::path m_path;
};

std::vector<uint8_t> ReadWholeFile(const std::string& strPath);
void WriteWholeFile(const std::string& strPath, const std::vector<uint8_t>& data);
