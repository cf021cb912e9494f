// How an erase ends early: a unit that cannot be written or read back, or
// reads back differently, ends the whole erase; a stop from outside ends it
// promptly in every kind of pass; and the smallest pool shared by four
// drives never leaves a thread waiting for a block.
#include <future>

#include "tests/engine/erase/erase_fixture.h"

namespace {

using namespace std::chrono_literals;

// The last MiB still holds the drive's old data: its erase was cut short.
bool TailUntouched(const CFakeDisk& disk, const std::vector<uint8_t>& old)
{
    return std::equal(disk.Contents().end() - MIB, disk.Contents().end(), old.end() - MIB);
}

TEST_F(EraseDiskTest, AUnitThatCannotBeWrittenEndsTheWholeErase)
{
    const auto pSlow = AddDrive(0, 16 * MIB);
    pSlow->SetWriteDelayMs(50);
    const auto oldSlow = pSlow->Contents();
    AddDrive(1, 4 * MIB)->FailWrites(2 * MIB + 5, 2 * MIB + 6, SystemError::IoError());
    EXPECT_FALSE(Erase(2, ERASE_ZERO));
    EXPECT_EQ(m_recorder.CountLines("fake:drive1 - disk write error (00200000-002FFFFF).\n" +
                                    GetSystemErrorText(SystemError::IoError()) + "\n"),
              11u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive1 - disk write retry out.\n"), 1u);
    EXPECT_EQ(m_engine.m_Task[1].eFailure, EEraseFailure::Write);
    EXPECT_EQ(m_engine.m_Task[1].dwError, SystemError::IoError());
    EXPECT_EQ(m_engine.m_Task[0].eFailure, EEraseFailure::Stopped);
    EXPECT_FALSE(m_engine.m_Task[0].bResult || m_engine.m_Task[1].bResult);
    EXPECT_FALSE(Logged("bytes wrote"));
    EXPECT_TRUE(TailUntouched(*pSlow, oldSlow));
    ExpectAllClosed();
}

// The byte is changed right after the write pass stored the drive's last
// unit, before the verification pass reads it back.
TEST_F(EraseDiskTest, AByteChangedBeforeTheVerificationPassFailsItWithItsUnit)
{
    const auto pDrive = AddDrive(0, 3 * MIB);
    bool bChanged = false;
    pDrive->SetWriteHook([&](uint64_t nOffset, uint32_t nCount, std::vector<uint8_t>& contents) {
        if (bChanged || nOffset + nCount != contents.size()) return;
        contents[MIB + MIB / 2 + 3] ^= 0x01;
        bChanged = true;
    });
    const auto pSlow = AddDrive(1, 4 * MIB);
    pSlow->SetWriteDelayMs(300);
    const auto oldSlow = pSlow->Contents();
    EXPECT_FALSE(Erase(2, ERASE_RANDOM_VERIFY));
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - data verify error (00100000-001FFFFF).\n"), 1u);
    EXPECT_EQ(LinesWith("data verify error").size(), 1u);  // no retry
    EXPECT_EQ(m_engine.m_Task[0].eFailure, EEraseFailure::Mismatch);
    EXPECT_EQ(m_engine.m_Task[1].eFailure, EEraseFailure::Stopped);
    EXPECT_FALSE(m_engine.m_Task[0].bResult || m_engine.m_Task[1].bResult);
    EXPECT_FALSE(Logged("bytes wrote"));
    EXPECT_TRUE(TailUntouched(*pSlow, oldSlow));
    ExpectAllClosed();
}

TEST_F(EraseDiskTest, AUnitThatCannotBeReadBackFailsTheVerificationAfterElevenReads)
{
    AddDrive(0, 3 * MIB)->FailReads(2 * MIB + 1, 2 * MIB + 2, SystemError::IoError());
    EXPECT_FALSE(Erase(1, ERASE_ONE_VERIFY));
    EXPECT_EQ(m_drives[0]->ReadsAt(2 * MIB), 11u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - disk read error (00200000-002FFFFF).\n" +
                                    GetSystemErrorText(SystemError::IoError()) + "\n"),
              11u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - disk read retry out.\n"), 1u);
    EXPECT_EQ(m_engine.m_Task[0].eFailure, EEraseFailure::Read);
    EXPECT_FALSE(Logged("bytes wrote"));
    ExpectAllClosed();
}

TEST_F(EraseDiskTest, AFlushThatFailsFailsTheErase)
{
    AddDrive(0, MIB)->FailFlush(SystemError::IoError());
    EXPECT_FALSE(Erase(1, ERASE_ZERO));
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - disk flush error.\n" + GetSystemErrorText(SystemError::IoError()) +
                                    "\n"),
              1u);
    EXPECT_EQ(m_engine.m_Task[0].eFailure, EEraseFailure::Write);
}

// A stop in a fill pass, a random pass and a verification pass: in each the
// pattern thread waits for room in its queue, and the verify thread waits
// for its pass or for room in its own queue.
TEST_F(EraseDiskTest, AStopInEveryKindOfPassEndsTheRunPromptly)
{
    struct T_CASE {
        const char* pName;
        uint32_t nMethod;
        bool bInVerify;  // stop while the drive is read back, else while it is written
    };
    const T_CASE cases[] = {
        {"fill", ERASE_ZERO_VERIFY, false},
        {"random", ERASE_RANDOM_VERIFY, false},
        {"verification", ERASE_ZERO_VERIFY, true},
    };
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.pName);
        m_drives.clear();
        m_recorder.Clear();
        CEraseDisk engine;
        engine.m_pDevices = &m_devices;
        auto pDrive = AddDrive(0, 32 * MIB);
        std::atomic<uint32_t> nWrites{0};
        pDrive->SetWriteHook([&](uint64_t, uint32_t, std::vector<uint8_t>&) { ++nWrites; });
        if (c.bInVerify) {
            pDrive->SetReadDelayMs(30);
        } else {
            pDrive->SetWriteDelayMs(30);
        }
        const std::string path = Drive(0);
        StopWhen(engine, [&] { return c.bInVerify ? pDrive->TotalReads() >= 3 : nWrites >= 3; },
                 [&] { return engine.Run(1, &path, c.nMethod, 16); });
        EXPECT_EQ(engine.m_Task[0].eFailure, EEraseFailure::Stopped);
        EXPECT_FALSE(Logged("bytes wrote"));
        ExpectAllClosed();
    }
}

TEST_F(EraseDiskTest, AStopBeforeTheRunWritesNothing)
{
    const auto old = AddDrive(0, MIB)->Contents();
    m_engine.Abort();
    EXPECT_FALSE(Erase(1, ERASE_ZERO));
    EXPECT_EQ(m_drives[0]->Contents(), old);
    ExpectAllClosed();
}

// Four targets, write-differences-only (a compare block each) and the
// smallest pool, all four in their verification pass at once.
TEST_F(EraseDiskTest, FourDrivesWithTheSmallestPoolNeverWaitForBlocks)
{
    g_bOptCompareAfterWrite = true;
    for (int i = 0; i < 4; ++i) AddDrive(i, 8 * MIB);
    auto run = std::async(std::launch::async, [&] { return Erase(4, ERASE_DOD_5220_22_M, 16); });
    if (run.wait_for(60s) != std::future_status::ready) {
        m_engine.Abort();
        run.wait();
        FAIL() << "the run waited for blocks that never came";
    }
    EXPECT_TRUE(run.get());
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m_drives[i]->Contents(), RandBytes(FIXED_TICK + i, 8 * MIB)) << i;
}

}  // namespace
