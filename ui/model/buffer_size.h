#pragma once
// The memory a job's blocks may take, in MiB (one 1 MiB block each): the
// limit of the settings ("Buffer"), lowered to three quarters of the
// memory available now, and never below the 16 blocks every engine needs.
#include <cstdint>

// The machine's memory as the window finds it before a job.
struct T_MEMORY_STATUS {
    bool bKnown = false;  // false: the question failed
    uint64_t nAvailPhys = 0;     // bytes
    uint64_t nAvailVirtual = 0;  // bytes
};

int32_t JobBufferMiB(int32_t nBufferMiB, const T_MEMORY_STATUS& memory);
