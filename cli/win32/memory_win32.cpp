// The memory available to a job on Windows: the smaller of the free
// physical and the free virtual memory.
#include <windows.h>

#include <algorithm>

#include "cli/cli_buffer.h"

uint64_t AvailableMemoryMiB()
{
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status)) return 0;
    return std::min(status.ullAvailPhys, status.ullAvailVirtual) / (1024 * 1024);
}

// The Windows heap already gives blocks of this size their own virtual
// memory and returns it when they are freed.
void ReturnLargeBuffersToSystem() {}
