#include "tests/support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>

CTempDir::CTempDir()
{
    static std::atomic<unsigned> nCounter{0};
    const auto nStamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_path = std::filesystem::temp_directory_path() /
             ("gm-test-" + std::to_string(nStamp) + "-" + std::to_string(nCounter++));
    std::filesystem::create_directories(m_path);
}

std::string CTempDir::File(const std::string& strName) const
{
    const std::u8string strPath = (m_path / std::u8string(strName.begin(), strName.end())).u8string();
    return std::string(strPath.begin(), strPath.end());
}

CTempDir::~CTempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::vector<uint8_t> ReadWholeFile(const std::string& strPath)
{
    std::ifstream in(std::filesystem::path(std::u8string(strPath.begin(), strPath.end())), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& strPath, const std::vector<uint8_t>& data)
{
    std::ofstream out(std::filesystem::path(std::u8string(strPath.begin(), strPath.end())),
                      std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}
