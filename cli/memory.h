#pragma once
// How much memory the machine can give the job's blocks right now.
#include <cstdint>

// The available memory in MiB; 0 when it cannot be told.
uint64_t AvailableMemoryMiB();
