#include <cerrno>
#include <cstring>

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
