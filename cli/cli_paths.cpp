#include "cli/cli_paths.h"

#include <system_error>

std::filesystem::path PathOf(const std::string& strUtf8)
{
    return std::filesystem::path(std::u8string(strUtf8.begin(), strUtf8.end()));
}

bool IsSameObject(const std::string& strFirst, const std::string& strSecond)
{
    namespace fs = std::filesystem;
    const fs::path first = PathOf(strFirst);
    const fs::path second = PathOf(strSecond);
    std::error_code ec;
    if (fs::equivalent(first, second, ec) && !ec) return true;
    std::error_code ecFirst, ecSecond;
    const fs::path canonicalFirst = fs::canonical(first, ecFirst);
    const fs::path canonicalSecond = fs::canonical(second, ecSecond);
    return !ecFirst && !ecSecond && canonicalFirst == canonicalSecond;
}
