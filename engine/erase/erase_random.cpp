#include "engine/erase/erase_random.h"

namespace {

constexpr size_t LANES = 32;

// Steps of the sequence taken at once: the state k + 1 steps on is
// arrMul[k] * state + arrAdd[k] (mod 2^32).
struct T_JUMPS {
    uint32_t arrMul[LANES] = {};
    uint32_t arrAdd[LANES] = {};
};

constexpr T_JUMPS MakeJumps()
{
    T_JUMPS j;
    uint32_t nMul = 1;
    uint32_t nAdd = 0;
    for (size_t k = 0; k < LANES; ++k) {
        nMul *= CEraseRandom::MULTIPLIER;
        nAdd = nAdd * CEraseRandom::MULTIPLIER + CEraseRandom::INCREMENT;
        j.arrMul[k] = nMul;
        j.arrAdd[k] = nAdd;
    }
    return j;
}

constexpr T_JUMPS JUMPS = MakeJumps();

}  // namespace

void CEraseRandom::Fill(uint8_t* pData, size_t nCount, uint8_t nMask)
{
    size_t i = 0;
    if (nCount >= LANES) {
        // lane[k] is the state of the byte at i + k.
        uint32_t lane[LANES];
        for (size_t k = 0; k < LANES; ++k) lane[k] = JUMPS.arrMul[k] * m_nState + JUMPS.arrAdd[k];
        const uint32_t nMul = JUMPS.arrMul[LANES - 1];
        const uint32_t nAdd = JUMPS.arrAdd[LANES - 1];
        uint32_t nState = m_nState;  // a local: stores to pData may not touch it
        for (; i + LANES <= nCount; i += LANES) {
            for (size_t k = 0; k < LANES; ++k) pData[i + k] = static_cast<uint8_t>((lane[k] >> 16) ^ nMask);
            nState = lane[LANES - 1];
            for (size_t k = 0; k < LANES; ++k) lane[k] = nMul * lane[k] + nAdd;
        }
        m_nState = nState;
    }
    for (; i < nCount; ++i) pData[i] = static_cast<uint8_t>(Next() ^ nMask);
}
