// The write engine on healthy drives: several targets at once, the log and
// progress of a run, and targets that cannot be used.
#include "tests/engine/write/image_to_disk_fixture.h"

namespace {

TEST_F(ImageToDiskTest, FourTargetsAtOnceEachEndEqualToTheImage)
{
    const uint64_t nSize = 5 * MIB + 512;  // a last block shorter than 1 MiB
    const auto image = RawImage(nSize);
    for (int i = 0; i < 4; ++i) AddTarget(i, nSize);
    m_engine.m_strName[2] = "DISK #7";
    ASSERT_TRUE(RunWrite(4));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m_targets[i]->Contents(), image) << i;
        EXPECT_TRUE(m_engine.m_Task[i].bResult) << i;
        EXPECT_GE(m_targets[i]->FlushCount(), 1u) << i;
    }
    EXPECT_TRUE(m_engine.m_bReaderResult);
    EXPECT_EQ(m_recorder.CountLines("WRITE " + FAKE_IMAGE + " => fake:target0, fake:target1, DISK #7, fake:target3\n"),
              1u);
    EXPECT_EQ(m_recorder.CountLines("DISK #7\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("  disk size=5243392 bytes.\n"), 4u);
    EXPECT_EQ(m_recorder.CountLines("  file size=5243392 bytes.\n"), 4u);
    EXPECT_EQ(m_recorder.CountLines("DISK #7 - 5243392 bytes wrote.\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:target3 - 5243392 bytes wrote.\n"), 1u);
    EXPECT_TRUE(ErrorRows().empty());
    EXPECT_FALSE(Logged("MD5SUM"));  // no digest without the MD5 check
    ExpectAllClosed();
    // Progress ends full on the image and on each target's row (not slot).
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_IMAGE).back(), 1000);
    for (int nRow : ROWS) {
        ASSERT_FALSE(m_recorder.ProgressValues(PROGRESS_DRIVE + nRow).empty()) << nRow;
        EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_DRIVE + nRow).back(), 1000);
        EXPECT_FALSE(m_recorder.ProgressTexts(PROGRESS_DRIVE_SPEED + nRow).empty());
    }
}

TEST_F(ImageToDiskTest, TheWholeJobIsHalfDoneWhenAVerifyPassFollows)
{
    RawImage(2 * MIB);
    AddTarget(0, 2 * MIB);
    m_engine.m_bVerifyFollows = true;
    ASSERT_TRUE(RunWrite(1));
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 500);
}

TEST_F(ImageToDiskTest, FiveTargetsFailWithoutALine)
{
    RawImage(MIB);
    for (int i = 0; i < 5; ++i) AddTarget(i, MIB);
    EXPECT_FALSE(RunWrite(5));
    EXPECT_TRUE(m_recorder.Messages().empty());
    for (const auto& pDisk : m_targets) EXPECT_EQ(pDisk->OpenCount(), 0u);
}

TEST_F(ImageToDiskTest, UnusableTargetsAreSkippedAndTheOthersWritten)
{
    struct T_CASE {
        const char* pName;
        void (*pfnBreak)(CFakeDisk& disk);
        std::string strLine;
    };
    const std::string strNotSupported = GetSystemErrorText(SystemError::NotSupported());
    const T_CASE cases[] = {
        {"cannot be opened", [](CFakeDisk& d) { d.FailOpen(SystemError::NotReady()); },
         "can't open disk fake:target0.\n" + GetSystemErrorText(SystemError::NotReady()) + "\n"},
        {"a character device", [](CFakeDisk& d) { d.SetKind(EDeviceKind::CharacterDevice); },
         "can't open disk fake:target0.\nit is a character device, not a disk.\n"},
        {"a folder", [](CFakeDisk& d) { d.SetKind(EDeviceKind::Directory); },
         "can't open disk fake:target0.\nit is a folder, not a disk.\n"},
        {"no size", [](CFakeDisk& d) { d.FailLengthRequest(SystemError::NotSupported(), true); },
         "GetDiskSize() failed.\n" + strNotSupported + "\n"},
    };
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.pName);
        m_recorder.Clear();
        m_targets.clear();
        CImageToDisk engine;
        Wire(engine);
        const auto image = RawImage(2 * MIB);
        auto pBroken = AddTarget(0, 2 * MIB);
        const auto old = pBroken->Contents();
        c.pfnBreak(*pBroken);
        auto pGood = AddTarget(1, 2 * MIB);
        const std::string paths[] = {Target(0), Target(1)};
        // The result depends on the usable target alone.
        EXPECT_TRUE(engine.Run(2, paths, FAKE_IMAGE, 16));
        EXPECT_EQ(m_recorder.CountLines(c.strLine), 1u);
        EXPECT_EQ(pGood->Contents(), image);
        EXPECT_EQ(pBroken->Contents(), old);
        EXPECT_FALSE(engine.m_Task[0].bActive);
        EXPECT_TRUE(ErrorRows().empty());
        ExpectAllClosed();
    }
}

TEST_F(ImageToDiskTest, AnImageThatCannotBeOpenedWritesNothing)
{
    RawImage(MIB);
    m_pImage->FailOpen(SystemError::NotReady());
    const auto old = AddTarget(0, MIB)->Contents();
    EXPECT_FALSE(RunWrite(1));
    EXPECT_EQ(m_recorder.CountLines("can't open file " + FAKE_IMAGE + ".\n" +
                                    GetSystemErrorText(SystemError::NotReady()) + "\n"),
              1u);
    EXPECT_EQ(m_targets[0]->Contents(), old);
    ExpectAllClosed();
}

TEST_F(ImageToDiskTest, AZeroByteImageOnAZeroByteDriveSucceeds)
{
    AddImageFile({});
    AddTarget(0, 0);
    ASSERT_TRUE(RunWrite(1));
    EXPECT_EQ(m_recorder.CountLines("fake:target0 - 0 bytes wrote.\n"), 1u);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 1000);
}

}  // namespace
