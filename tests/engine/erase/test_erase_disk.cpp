// The erase engine beyond the engine matrix: what each kind of pass leaves
// on the drive, the lines of its passes, and a verification pass that
// finds other bytes.
#include "engine/erase/erase_disk.h"
#include "tests/engine/engine_rig.h"

namespace engine_test {
namespace {

// The clock's tick: slot s's random sequences are seeded with FIXED_TICK + s.
constexpr uint32_t FIXED_TICK = 123456;

// The C run-time's rand() bytes from a seed, one step at a time, XORed
// with nMask: what a pass of that seed must leave on the drive.
std::vector<uint8_t> RandBytes(uint32_t nSeed, size_t nSize, uint8_t nMask = 0)
{
    std::vector<uint8_t> data(nSize);
    uint32_t nState = nSeed;
    for (uint8_t& b : data) {
        nState = nState * 214013u + 2531011u;
        b = static_cast<uint8_t>(((nState >> 16) & 0x7FFF) ^ nMask);
    }
    return data;
}

class EraseTest : public EngineRig {
public:
    EraseTest() { m_fnTick = [] { return FIXED_TICK; }; }
    T_ENGINE_RESULT Erase(int nDrives, uint32_t nMethod)
    {
        m_nMethod = nMethod;
        return CEraseDisk().Run(Job(nDrives));
    }
    // Every call a new tick, so that every random sequence gets a seed of its own.
    void CountingClock()
    {
        m_fnTick = [this] { return m_nTicks.fetch_add(1) + 1; };
    }
    // What each pass wrote to the drive: a write at offset 0 opens a new
    // pass. Read after the run only.
    std::vector<std::vector<uint8_t>>& RecordPasses(CFakeDisk& disk)
    {
        disk.SetWriteHook([this](uint64_t nOffset, uint32_t nCount, std::vector<uint8_t>& contents) {
            if (nOffset == 0) m_passes.emplace_back();
            m_passes.back().insert(m_passes.back().end(), contents.begin() + static_cast<ptrdiff_t>(nOffset),
                                   contents.begin() + static_cast<ptrdiff_t>(nOffset + nCount));
        });
        return m_passes;
    }

    std::atomic<uint32_t> m_nTicks{0};
    std::vector<std::vector<uint8_t>> m_passes;
};

// Three verification passes that read nothing come one right after the
// other: each must still reach the verify thread, and only the write passes
// count. (Fill and verify on a drive with a short last block, its lines and
// its zeros: tests/e2e/test_erase_loop.sh.)
TEST_F(EraseTest, VerificationPassesOfADriveOfNoBytesEachEnd)
{
    AddDrive(0, 0);
    ASSERT_TRUE(Erase(1, ERASE_DOD_5220_22_M).bOk);
    EXPECT_EQ(LinesWith("VERIFY").size(), 3u);
    EXPECT_EQ(Count("fake:drive0 - 0 bytes wrote.\n"), 1u);
}

// Each slot seeds its sequences with the tick plus its slot number, and the
// verification pass makes the same bytes again from the remembered seed.
TEST_F(EraseTest, RandomAndVerifyLeavesTheSequenceOfEachSlotsSeed)
{
    AddDrive(0, 2 * MIB + 100);
    AddDrive(1, MIB);
    ASSERT_TRUE(Erase(2, ERASE_RANDOM_VERIFY).bOk);
    EXPECT_EQ(m_drives[0]->Contents(), RandBytes(FIXED_TICK, 2 * MIB + 100));
    EXPECT_EQ(m_drives[1]->Contents(), RandBytes(FIXED_TICK + 1, MIB));
    EXPECT_EQ(Count("fake:drive0 - PASS 2/2, VERIFY RANDOM-1.\n"), 1u);
    EXPECT_EQ(Count("fake:drive1 - 1048576 bytes wrote.\n"), 1u);
    EXPECT_FALSE(Logged("verify error"));
}

TEST_F(EraseTest, ComplementPassesInvertTheirSequencesByteForByte)
{
    CountingClock();
    const auto& p = RecordPasses(*AddDrive(0, MIB + 3));
    ASSERT_TRUE(Erase(1, ERASE_DOD_5220_22_M_ECE).bOk);
    ASSERT_EQ(p.size(), 7u);
    EXPECT_EQ(p[0], std::vector<uint8_t>(MIB + 3, 0x00));
    EXPECT_EQ(p[1], std::vector<uint8_t>(MIB + 3, 0xFF));
    EXPECT_NE(p[2], p[3]);  // two sequences of their own
    for (int i : {2, 3}) {
        std::vector<uint8_t> inverted(p[i]);
        for (uint8_t& b : inverted) b = static_cast<uint8_t>(~b);
        EXPECT_EQ(p[i + 2], inverted) << "pass " << i + 3;
    }
    EXPECT_NE(p[6], p[2]);
    EXPECT_NE(p[6], p[3]);
    EXPECT_EQ(LinesWith("(COM)"), (std::vector<std::string>{"fake:drive0 - PASS 5/7, WRITE RANDOM-1(COM).\n",
                                                            "fake:drive0 - PASS 6/7, WRITE RANDOM-2(COM).\n"}));
    EXPECT_EQ(Count("fake:drive0 - 7340053 bytes wrote.\n"), 1u);  // seven passes, none a verification
}

TEST_F(EraseTest, GutmannCountsThirtyFiveNewSequencesDown)
{
    CountingClock();
    const auto& passes = RecordPasses(*AddDrive(0, 4096));
    ASSERT_TRUE(Erase(1, ERASE_GUTMANN).bOk);
    const std::vector<std::string> lines = LinesWith("PASS");
    ASSERT_EQ(lines.size(), 35u);
    EXPECT_EQ(lines.front(), "fake:drive0 - PASS 1/35, WRITE RANDOM-35.\n");
    EXPECT_EQ(lines[1], "fake:drive0 - PASS 2/35, WRITE RANDOM-34.\n");
    EXPECT_EQ(lines.back(), "fake:drive0 - PASS 35/35, WRITE RANDOM-1.\n");
    ASSERT_EQ(passes.size(), 35u);
    for (size_t i = 1; i < 35; ++i) EXPECT_NE(passes[i], passes[i - 1]) << i;
}

// The byte is changed right after the write pass stored the drive's last
// unit, before the verification pass reads it back: the unit fails at
// once, without a retry, and the other drive stops with it.
TEST_F(EraseTest, AByteChangedBeforeTheVerificationPassFailsItWithItsUnit)
{
    const auto pDrive = AddDrive(0, 3 * MIB);
    bool bChanged = false;
    pDrive->SetWriteHook([&](uint64_t nOffset, uint32_t nCount, std::vector<uint8_t>& contents) {
        if (bChanged || nOffset + nCount != contents.size()) return;
        contents[MIB + MIB / 2 + 3] ^= 0x01;
        bChanged = true;
    });
    HoldUntilLogged(*AddDrive(1, 4 * MIB), "data verify error");
    const T_ENGINE_RESULT result = Erase(2, ERASE_RANDOM_VERIFY);
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(Count("fake:drive0 - data verify error (00100000-001FFFFF).\n"), 1u);
    EXPECT_EQ(LinesWith("data verify error").size(), 1u);
    EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Differs);
    EXPECT_EQ(result.arrSlots[1].eVerdict, ESlotVerdict::Stopped);
    EXPECT_FALSE(Logged("bytes wrote"));
    ExpectAllClosed();
}

}  // namespace
}  // namespace engine_test
