#pragma once
// The pseudo-random sequence of the erase patterns: the C run-time's
// rand(). The state is 32 bits; each step sets
//     state = state * 214013 + 2531011  (mod 2^32)
// and yields (state >> 16) & 0x7FFF; seeding sets the state to the seed.
// A pattern byte is the low 8 bits of one yield, a complement byte its
// bitwise NOT.
//
// Fill produces a drive's worth of these bytes fast enough for any drive:
// it runs 32 copies of the sequence side by side, each 32 steps apart, so
// no step waits for the one before it; the bytes are exactly those of one
// step after another.
#include <cstddef>
#include <cstdint>

class CEraseRandom {
public:
    static constexpr uint32_t MULTIPLIER = 214013;
    static constexpr uint32_t INCREMENT = 2531011;

    void Seed(uint32_t nSeed) { m_nState = nSeed; }
    // One step: the next 15-bit value.
    uint32_t Next()
    {
        m_nState = m_nState * MULTIPLIER + INCREMENT;
        return (m_nState >> 16) & 0x7FFF;
    }
    // The low bytes of the next nCount values, each XORed with nMask (0x00
    // for the sequence, 0xFF for its complement); the state moves on by
    // nCount steps, so consecutive calls continue one sequence.
    void Fill(uint8_t* pData, size_t nCount, uint8_t nMask);

private:
    uint32_t m_nState = 1;
};
