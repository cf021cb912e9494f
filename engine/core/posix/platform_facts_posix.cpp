// The facts of a POSIX system the portable core asks for: error codes and
// their texts (strerror), where developer trace lines go (standard error,
// only when GRAVELMOOR_TRACE is set), and a text file's line end.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/system_error.h"

std::string GetSystemErrorText(uint32_t nCode)
{
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be the buffer.
    const char* pText = ::strerror_r(static_cast<int>(nCode), buffer, sizeof buffer);
    if (!pText || !*pText) return std::string();
    return std::string(pText) + "\n";
}

namespace SystemError {
uint32_t FileExists() { return EEXIST; }
uint32_t NoMemory() { return ENOMEM; }
uint32_t IoError() { return EIO; }
uint32_t NotReady() { return ENOMEDIUM; }
uint32_t NotSupported() { return ENOTTY; }
uint32_t DiskFull() { return ENOSPC; }
uint32_t Cancelled() { return ECANCELED; }
bool IsInUse(uint32_t nCode) { return nCode == EBUSY; }
bool IsNotFound(uint32_t nCode) { return nCode == ENOENT; }
bool IsNoRoom(uint32_t nCode) { return nCode == ENOSPC || nCode == EDQUOT || nCode == EFBIG; }
}  // namespace SystemError

void PlatformDebugTrace(std::string_view strLine)
{
    static const bool bEnabled = std::getenv("GRAVELMOOR_TRACE") != nullptr;
    if (bEnabled) std::fwrite(strLine.data(), 1, strLine.size(), stderr);
}

std::string_view TextFileLineEnd()
{
    return "\n";
}
