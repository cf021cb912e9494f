// The erase engine on healthy drives: what each kind of pass leaves on the
// drive, the log of a run, several targets, and targets that cannot be used.
#include "tests/engine/erase/erase_fixture.h"

namespace {

TEST_F(EraseDiskTest, FillAndVerifyLeavesZerosAndCountsOnlyTheWritePass)
{
    const uint64_t nSize = 3 * MIB + 512;  // a last block shorter than 1 MiB
    AddDrive(0, nSize);
    ASSERT_TRUE(Erase(1, ERASE_ZERO_VERIFY));
    EXPECT_EQ(m_drives[0]->Contents(), std::vector<uint8_t>(nSize, 0x00));
    EXPECT_EQ(LinesWith("PASS"), (std::vector<std::string>{"fake:drive0 - PASS 1/2, WRITE 0x00.\n",
                                                           "fake:drive0 - PASS 2/2, VERIFY 0x00.\n"}));
    EXPECT_EQ(m_recorder.CountLines("ERASE fake:drive0\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("ERASE Method: Fill zero(0x00) and verify.\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("  disk size=3146240 bytes.\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 3146240 bytes wrote.\n"), 1u);
    EXPECT_TRUE(m_engine.m_Task[0].bResult);
    EXPECT_GE(m_drives[0]->FlushCount(), 1u);
    ExpectAllClosed();
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_DRIVE + ROWS[0]).back(), 1000);
    EXPECT_FALSE(m_recorder.ProgressTexts(PROGRESS_DRIVE_SPEED + ROWS[0]).empty());
}

// Each slot seeds its sequences with the tick plus its slot number, and the
// verification pass makes the same bytes again from the remembered seed.
TEST_F(EraseDiskTest, RandomAndVerifyLeavesTheSequenceOfEachSlotsSeed)
{
    AddDrive(0, 2 * MIB + 100);
    AddDrive(1, MIB);
    ASSERT_TRUE(Erase(2, ERASE_RANDOM_VERIFY));
    EXPECT_EQ(m_drives[0]->Contents(), RandBytes(FIXED_TICK, 2 * MIB + 100));
    EXPECT_EQ(m_drives[1]->Contents(), RandBytes(FIXED_TICK + 1, MIB));
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - PASS 2/2, VERIFY RANDOM-1.\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive1 - 1048576 bytes wrote.\n"), 1u);
    EXPECT_FALSE(Logged("verify error"));
}

TEST_F(EraseDiskTest, ComplementPassesInvertTheirSequencesByteForByte)
{
    CountingClock();
    CPassRecorder passes(*AddDrive(0, MIB + 3));
    ASSERT_TRUE(Erase(1, ERASE_DOD_5220_22_M_ECE));
    const auto& p = passes.Passes();
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
    // Seven passes of the drive's size, none a verification.
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 7340053 bytes wrote.\n"), 1u);
}

TEST_F(EraseDiskTest, GutmannCountsThirtyFiveNewSequencesDown)
{
    CountingClock();
    CPassRecorder passes(*AddDrive(0, 4096));
    ASSERT_TRUE(Erase(1, ERASE_GUTMANN));
    const std::vector<std::string> lines = LinesWith("PASS");
    ASSERT_EQ(lines.size(), 35u);
    EXPECT_EQ(lines.front(), "fake:drive0 - PASS 1/35, WRITE RANDOM-35.\n");
    EXPECT_EQ(lines[1], "fake:drive0 - PASS 2/35, WRITE RANDOM-34.\n");
    EXPECT_EQ(lines.back(), "fake:drive0 - PASS 35/35, WRITE RANDOM-1.\n");
    ASSERT_EQ(passes.Passes().size(), 35u);
    for (size_t i = 1; i < 35; ++i) EXPECT_NE(passes.Passes()[i], passes.Passes()[i - 1]) << i;
}

// Each drive is erased over its own size; the whole job's figure is never
// ahead of the slower drive's.
TEST_F(EraseDiskTest, TwoDrivesOfDifferentSizesAndTheSlowerOneLeadsTheProgress)
{
    AddDrive(0, 2 * MIB);
    AddDrive(1, 5 * MIB)->SetWriteDelayMs(15);
    m_engine.m_strName[1] = "DISK #1";
    ASSERT_TRUE(Erase(2, ERASE_ONE));
    EXPECT_EQ(m_drives[0]->Contents(), std::vector<uint8_t>(2 * MIB, 0xFF));
    EXPECT_EQ(m_drives[1]->Contents(), std::vector<uint8_t>(5 * MIB, 0xFF));
    EXPECT_EQ(m_recorder.CountLines("ERASE fake:drive0, DISK #1\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("DISK #1 - 5242880 bytes wrote.\n"), 1u);
    // In every batch, the whole job's figure follows the drives before it.
    int64_t nSlowest = 1000;
    bool bSeenBelowFull = false;
    for (const T_NOTIFY_MSG& msg : m_recorder.Messages()) {
        if (msg.uMsg != WM_ENGINE_PROGRESS) continue;
        const auto nValue = static_cast<int64_t>(msg.lParam);
        if (msg.wParam == PROGRESS_DRIVE + ROWS[0] || msg.wParam == PROGRESS_DRIVE + ROWS[1]) {
            nSlowest = std::min(nSlowest, nValue);
        } else if (msg.wParam == PROGRESS_TOTAL) {
            EXPECT_LE(nValue, nSlowest);
            bSeenBelowFull = bSeenBelowFull || nValue < 1000;
            nSlowest = 1000;
        }
    }
    EXPECT_TRUE(bSeenBelowFull);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
}

TEST_F(EraseDiskTest, WriteDifferencesOnlyWritesNothingToAZeroedDrive)
{
    g_bOptCompareAfterWrite = true;
    auto pZeroed = std::make_shared<CFakeDisk>(std::vector<uint8_t>(3 * MIB, 0x00));
    pZeroed->FailWrites(0, 3 * MIB, SystemError::IoError());  // any write would fail the run
    m_devices.Add(Drive(0), pZeroed);
    const auto pOld = AddDrive(1, 3 * MIB);  // old data: every unit written
    ASSERT_TRUE(Erase(2, ERASE_ZERO_VERIFY));
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 0 bytes wrote (skip=3145728).\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive1 - 3145728 bytes wrote.\n"), 1u);
    EXPECT_EQ(pOld->Contents(), std::vector<uint8_t>(3 * MIB, 0x00));
}

// Three verification passes that read nothing come one right after the
// other: each must still reach the verify thread.
TEST_F(EraseDiskTest, AnEmptyDriveGoesThroughEveryVerificationPass)
{
    AddDrive(0, 0);
    ASSERT_TRUE(Erase(1, ERASE_DOD_5220_22_M));
    EXPECT_EQ(LinesWith("VERIFY").size(), 3u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 0 bytes wrote.\n"), 1u);
}

TEST_F(EraseDiskTest, UnusableTargetsAreSkippedAndTheOthersErased)
{
    struct T_CASE {
        const char* pName;
        void (*pfnBreak)(CFakeDisk& disk);
        std::string strLine;
    };
    const T_CASE cases[] = {
        {"cannot be opened", [](CFakeDisk& d) { d.FailOpen(SystemError::NotReady()); },
         "can't open disk fake:drive0.\n" + GetSystemErrorText(SystemError::NotReady()) + "\n"},
        {"a character device", [](CFakeDisk& d) { d.SetKind(EDeviceKind::CharacterDevice); },
         "can't open disk fake:drive0.\nit is a character device, not a disk.\n"},
        {"no size", [](CFakeDisk& d) { d.FailLengthRequest(SystemError::NotSupported(), true); },
         "GetDiskSize() failed.\n" + GetSystemErrorText(SystemError::NotSupported()) + "\n"},
    };
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.pName);
        m_recorder.Clear();
        m_drives.clear();
        CEraseDisk engine;
        engine.m_pDevices = &m_devices;
        auto pBroken = AddDrive(0, MIB);
        const auto old = pBroken->Contents();
        c.pfnBreak(*pBroken);
        auto pGood = AddDrive(1, MIB);
        const std::string paths[] = {Drive(0), Drive(1)};
        EXPECT_TRUE(engine.Run(2, paths, ERASE_ONE, 16));  // the result depends on the usable target alone
        EXPECT_EQ(m_recorder.CountLines(c.strLine), 1u);
        EXPECT_LT(m_recorder.LogText().find("ERASE Method: "), m_recorder.LogText().find(c.strLine));
        EXPECT_EQ(pGood->Contents(), std::vector<uint8_t>(MIB, 0xFF));
        EXPECT_EQ(pBroken->Contents(), old);
        EXPECT_EQ(engine.m_Task[0].eFailure, EEraseFailure::NotOpened);
        ExpectAllClosed();
    }
}

TEST_F(EraseDiskTest, RefusalsBeforeAnythingIsWritten)
{
    AddDrive(0, MIB);
    m_devices.Add("fake:alias", m_drives[0]);  // one drive under a second name
    const auto old = m_drives[0]->Contents();
    const std::string twice[] = {Drive(0), "fake:alias"};
    EXPECT_FALSE(m_engine.Run(2, twice, ERASE_ZERO, 16));
    EXPECT_EQ(m_recorder.CountLines("can't write disk fake:alias.\nit shares its storage with fake:drive0, also a "
                                    "target of this job.\n"),
              1u);
    const std::string five[] = {Drive(0), Drive(0), Drive(0), Drive(0), Drive(0)};
    EXPECT_FALSE(CEraseDisk().Run(5, five, ERASE_ZERO, 16));
    EXPECT_EQ(m_drives[0]->Contents(), old);
    ExpectAllClosed();
}

}  // namespace
