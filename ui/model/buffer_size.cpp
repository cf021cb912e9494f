// A job's buffer size from free memory.
#include "ui/model/buffer_size.h"

#include <algorithm>

#include "drives/settings_keys.h"

int32_t JobBufferMiB(int32_t nBufferMiB, const T_MEMORY_STATUS& memory)
{
    int64_t nMiB = nBufferMiB;
    if (memory.bKnown) {
        const uint64_t nAvail = std::min(memory.nAvailPhys, memory.nAvailVirtual);
        const auto nUsable = static_cast<int64_t>(static_cast<double>(nAvail >> 20) * 0.75);
        nMiB = std::min(nMiB, nUsable);
    }
    return static_cast<int32_t>(std::max<int64_t>(nMiB, BUFFER_MIB_MIN));
}
