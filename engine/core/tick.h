#pragma once
// A millisecond tick that wraps at 2^32, as the engines' counters expect.
#include <cstdint>

uint32_t GetTickCountMs();
