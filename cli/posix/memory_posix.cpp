// The memory available to a job on POSIX: the free physical pages.
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "cli/cli_buffer.h"

uint64_t AvailableMemoryMiB()
{
    const long nPages = ::sysconf(_SC_AVPHYS_PAGES);
    const long nPageSize = ::sysconf(_SC_PAGESIZE);
    if (nPages <= 0 || nPageSize <= 0) return 0;
    return static_cast<uint64_t>(nPages) * static_cast<uint64_t>(nPageSize) / (1024 * 1024);
}

// glibc maps a large allocation on its own, but once one such map has been
// freed it raises that threshold and serves later buffers of the size from
// its heaps, one per thread, which keep freed pages resident: a decoder
// whose threads take and give back 1 MiB chunks would grow by ten MiB and
// more beyond what it holds. A fixed threshold keeps every buffer of 256 KiB
// and more mapped on its own.
void ReturnLargeBuffersToSystem()
{
#ifdef __GLIBC__
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
}
