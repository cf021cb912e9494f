#include <windows.h>

#include <algorithm>

#include "cli/memory.h"

uint64_t AvailableMemoryMiB()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status)) return 0;
    return std::min(status.ullAvailPhys, status.ullAvailVirtual) / (1024 * 1024);
}
