// How fast the erase engine's pattern thread makes random bytes: the fast
// fill against one generator step per byte, on one core, in 1 MiB blocks
// as the engine fills them. Prints MB/s (10^6 bytes) for each, per second
// of processor time, so that other work on the machine does not count.
//
//   erase_pattern_bench [MIB]   (default 1024)
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <vector>

#include "engine/erase/erase_random.h"

namespace {

constexpr size_t BLOCK = 1 << 20;

template <class F>
double MegabytesPerSecond(size_t nBlocks, F fnFill)
{
    const std::clock_t start = std::clock();
    for (size_t i = 0; i < nBlocks; ++i) fnFill();
    const double dSeconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    return static_cast<double>(nBlocks * BLOCK) / dSeconds / 1e6;
}

}  // namespace

int main(int argc, char** argv)
{
    const size_t nBlocks = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
    std::vector<uint8_t> block(BLOCK);
    unsigned nCheck = 0;  // keeps the loops from being optimised away
    CEraseRandom fast;
    fast.Seed(12345);
    const double dFast = MegabytesPerSecond(nBlocks, [&] {
        fast.Fill(block.data(), BLOCK, 0x00);
        nCheck += block[BLOCK - 1];
    });
    CEraseRandom plain;
    plain.Seed(12345);
    const double dPlain = MegabytesPerSecond(nBlocks, [&] {
        for (uint8_t& b : block) b = static_cast<uint8_t>(plain.Next());
        nCheck += block[BLOCK - 1];
    });
    std::printf("random pass, fast fill:     %8.0f MB/s\n", dFast);
    std::printf("random pass, step per byte: %8.0f MB/s\n", dPlain);
    std::printf("(check %u)\n", nCheck);
    return 0;
}
