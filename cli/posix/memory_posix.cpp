// The memory available to a job on POSIX: the free physical pages.
#include <unistd.h>

#include "cli/cli_buffer.h"

uint64_t AvailableMemoryMiB()
{
    const long nPages = ::sysconf(_SC_AVPHYS_PAGES);
    const long nPageSize = ::sysconf(_SC_PAGESIZE);
    if (nPages <= 0 || nPageSize <= 0) return 0;
    return static_cast<uint64_t>(nPages) * static_cast<uint64_t>(nPageSize) / (1024 * 1024);
}
