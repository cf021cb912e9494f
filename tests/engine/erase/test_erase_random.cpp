// The erase patterns' generator: the fast fill must give exactly the bytes
// of its single steps, however the bytes are split into calls. That the
// steps are the C run-time's rand(): the erase tests, against the drives.
#include <gtest/gtest.h>

#include <vector>

#include "engine/erase/erase_random.h"

namespace {

// The bytes of nSize single steps from nSeed, with the mask.
std::vector<uint8_t> StepByStep(uint32_t nSeed, size_t nSize, uint8_t nMask)
{
    CEraseRandom random;
    random.Seed(nSeed);
    std::vector<uint8_t> data(nSize);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random.Next() ^ nMask);
    return data;
}

TEST(EraseRandom, FillGivesTheStepsBytesInAnySplit)
{
    const size_t SIZE = 3 * 1024 + 77;
    // Call lengths that cross the 32-byte groups in every way, and ones
    // shorter than a group.
    const std::vector<std::vector<size_t>> splits = {
        {SIZE}, {1, 31, 32, 33, SIZE - 97}, {64, 5, SIZE - 69}, {0, 7, 7, 7, SIZE - 21}};
    for (uint8_t nMask : {uint8_t{0x00}, uint8_t{0xFF}}) {
        for (uint32_t nSeed : {0u, 1u, 0xFFFFFFFFu, 123456789u}) {
            const std::vector<uint8_t> expected = StepByStep(nSeed, SIZE, nMask);
            CEraseRandom after;  // the generator SIZE steps on
            after.Seed(nSeed);
            for (size_t i = 0; i < SIZE; ++i) after.Next();
            const uint32_t nNext = after.Next();
            for (const std::vector<size_t>& split : splits) {
                CEraseRandom random;
                random.Seed(nSeed);
                std::vector<uint8_t> data(SIZE, 0x5A);
                size_t nPos = 0;
                for (size_t n : split) {
                    random.Fill(data.data() + nPos, n, nMask);
                    nPos += n;
                }
                ASSERT_EQ(data, expected) << "seed " << nSeed << ", mask " << int{nMask} << ", first call "
                                          << split[0];
                EXPECT_EQ(random.Next(), nNext);  // the state went on with the bytes
            }
        }
    }
}

}  // namespace
