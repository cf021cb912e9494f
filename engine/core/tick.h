#pragma once
// A millisecond tick that wraps at 2^32, as the engines' counters expect.
#include <chrono>
#include <cstdint>
#include <functional>

inline uint32_t GetTickCountMs()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Where an engine takes its ticks from: GetTickCountMs unless a test puts in
// a clock of its own, to know the values (seeds, times) that follow from it.
// Called from several threads at once.
using TTickSource = std::function<uint32_t()>;
