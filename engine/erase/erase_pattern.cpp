// A target's pattern thread: the bytes of every pass, in 1 MiB pool blocks,
// into the slot's queue. A verification pass gets exactly the bytes it
// must find on the drive. The thread has its own generator and remembers
// the seed of every random sequence of the run, so a later pass that
// repeats, complements or verifies a sequence makes the same bytes again.
#include <algorithm>
#include <cstring>

#include "engine/erase/erase_disk.h"
#include "engine/erase/erase_pass.h"
#include "engine/erase/erase_random.h"

void CEraseDisk::ErasePatternThread(int nSlot)
{
    T_DISKTASK_INFO& t = m_Task[nSlot];
    const auto nSlotSeed = static_cast<uint32_t>(nSlot);
    CEraseRandom random;
    random.Seed(m_fnTick() + nSlotSeed);
    uint32_t arrSeed[256] = {};
    for (uint32_t p = 0; p < m_nPass; ++p) {
        if (m_bAbort || t.bStopped) return;
        const uint32_t nCode = m_Pass[p];
        const uint8_t nByte = ErasePassByte(nCode);
        bool bOk = true;
        switch (ErasePassKind(nCode)) {
        case ERASE_PASS_FILL: bOk = ProducePass(t, nullptr, nByte); break;
        case ERASE_PASS_RANDOM:
            arrSeed[nByte] = m_fnTick() + nSlotSeed;
            random.Seed(arrSeed[nByte]);
            bOk = ProducePass(t, &random, 0x00);
            break;
        case ERASE_PASS_COMPLEMENT:
            random.Seed(arrSeed[nByte]);
            bOk = ProducePass(t, &random, 0xFF);
            break;
        default:  // a repeat
            random.Seed(arrSeed[nByte]);
            bOk = ProducePass(t, &random, 0x00);
            break;
        }
        if (!bOk) return;
    }
}

// The drive's size in blocks: random bytes XORed with nByte when pRandom is
// given, else nByte alone. False when the run stops.
bool CEraseDisk::ProducePass(T_DISKTASK_INFO& t, CEraseRandom* pRandom, uint8_t nByte)
{
    uint64_t nLeft = t.nSize;
    while (nLeft > 0) {
        if (m_bAbort || t.bStopped) return false;
        const auto n = static_cast<uint32_t>(std::min(m_nBlockSize, nLeft));
        uint8_t* pBlock = m_pBuffer->Alloc();
        if (!pBlock) return false;  // the pool was aborted
        if (pRandom) {
            pRandom->Fill(pBlock, n, nByte);
        } else {
            std::memset(pBlock, nByte, n);
        }
        if (!t.pQueue->Put(pBlock, n)) {
            m_pBuffer->Free(pBlock);
            return false;
        }
        nLeft -= n;
    }
    return true;
}
