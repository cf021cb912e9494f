// Targets and images that fail while the write runs: a failing target is
// dropped alone, short writes carry on, a full file system is not retried,
// a failed flush fails its target, an unreadable image ends the job.
#include <chrono>

#include "tests/engine/write/image_to_disk_fixture.h"

namespace {

using namespace std::chrono_literals;

TEST_F(ImageToDiskTest, ATargetFailingEveryWriteIsDroppedAndTheOthersFinish)
{
    // Longer than the pool: the reader is still busy when the target fails,
    // so the blocks waiting for it must come back to the pool.
    const uint64_t nSize = 24 * MIB;
    const auto image = RawImage(nSize);
    for (int i = 0; i < 3; ++i) AddTarget(i, nSize);
    const auto old = m_targets[1]->Contents();
    m_targets[1]->FailWrites(3 * MIB + 5, 3 * MIB + 6, SystemError::IoError());
    EXPECT_FALSE(RunWrite(3));
    const std::string strWarning =
        "fake:target1 - disk write error (00300000-003FFFFF).\n" + GetSystemErrorText(SystemError::IoError()) + "\n";
    EXPECT_EQ(m_recorder.CountLines(strWarning), 11u);
    EXPECT_EQ(m_recorder.CountLines("fake:target1 - disk write retry out.\n"), 1u);
    EXPECT_EQ(ErrorRows(), std::vector<int64_t>{ROWS[1]});
    EXPECT_FALSE(m_engine.m_Task[1].bResult);
    EXPECT_EQ(m_engine.m_Task[1].dwError, SystemError::IoError());
    EXPECT_FALSE(Logged("fake:target1 - 25165824 bytes wrote"));
    for (int i : {0, 2}) {
        EXPECT_EQ(m_targets[i]->Contents(), image) << i;
        EXPECT_TRUE(m_engine.m_Task[i].bResult) << i;
        EXPECT_EQ(m_recorder.CountLines(Target(i) + " - 25165824 bytes wrote.\n"), 1u);
    }
    EXPECT_TRUE(m_engine.m_bReaderResult);
    // What came before the failing block is written, nothing after it.
    const auto& dropped = m_targets[1]->Contents();
    EXPECT_TRUE(std::equal(dropped.begin(), dropped.begin() + 3 * MIB, image.begin()));
    EXPECT_TRUE(std::equal(dropped.begin() + 4 * MIB, dropped.end(), old.begin() + 4 * MIB));
    ExpectAllClosed();
}

TEST_F(ImageToDiskTest, WhenEveryTargetFailsTheReaderStops)
{
    RawImage(24 * MIB);
    for (int i = 0; i < 2; ++i) AddTarget(i, 24 * MIB)->FailWrites(2 * MIB, 2 * MIB + 1, SystemError::IoError());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(RunWrite(2));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_FALSE(m_engine.m_bReaderResult);
    EXPECT_EQ(ErrorRows().size(), 2u);
    EXPECT_LT(m_pImage->TotalReads(), 24u);  // the reader did not read on for nobody
    ExpectAllClosed();
}

TEST_F(ImageToDiskTest, AWriteThatStoresPartOfABlockGoesOnWithTheRest)
{
    const auto image = RawImage(3 * MIB);
    AddTarget(0, 3 * MIB)->ShortWrites(MIB, MIB + 1);  // only the first write of that block touches it
    AddTarget(1, 3 * MIB)->ShortWrites(MIB, 2 * MIB);  // each write there stores half of what it is given
    EXPECT_FALSE(RunWrite(2));
    EXPECT_EQ(m_targets[0]->Contents(), image);
    EXPECT_FALSE(Logged("fake:target0 - write count mismatch"));
    // Halving runs out at one byte, after which a write stores nothing:
    // eleven of those are eleven failed tries.
    EXPECT_EQ(m_recorder.CountLines("fake:target1 - write count mismatch 00000001:00000000.\n"), 11u);
    EXPECT_EQ(m_recorder.CountLines("fake:target1 - disk write retry out.\n"), 1u);
    EXPECT_EQ(ErrorRows(), std::vector<int64_t>{ROWS[1]});
}

TEST_F(ImageToDiskTest, AFullFileSystemIsReportedOnceAndNotRetried)
{
    const auto image = RawImage(4 * MIB);
    AddTarget(0, 4 * MIB)->FullAt(2 * MIB + 100, SystemError::DiskFull());
    AddTarget(1, 4 * MIB);
    EXPECT_FALSE(RunWrite(2));
    EXPECT_EQ(m_recorder.CountLines("fake:target0 - no room left to write (00200064-002FFFFF).\n" +
                                    GetSystemErrorText(SystemError::DiskFull()) + "\n"),
              1u);
    EXPECT_FALSE(Logged("disk write error"));
    EXPECT_FALSE(Logged("retry out"));
    EXPECT_EQ(ErrorRows(), std::vector<int64_t>{ROWS[0]});
    EXPECT_EQ(m_targets[1]->Contents(), image);
}

TEST_F(ImageToDiskTest, AFlushThatFailsFailsThatTarget)
{
    const auto image = RawImage(2 * MIB);
    AddTarget(0, 2 * MIB);
    AddTarget(1, 2 * MIB)->FailFlush(SystemError::IoError());
    EXPECT_FALSE(RunWrite(2));
    EXPECT_EQ(m_recorder.CountLines("fake:target1 - disk flush error.\n" + GetSystemErrorText(SystemError::IoError()) +
                                    "\n"),
              1u);
    EXPECT_FALSE(Logged("fake:target1 - 2097152 bytes wrote"));
    EXPECT_EQ(ErrorRows(), std::vector<int64_t>{ROWS[1]});
    EXPECT_TRUE(m_engine.m_Task[0].bResult);
    EXPECT_FALSE(m_engine.m_Task[1].bResult);
}

TEST_F(ImageToDiskTest, AnImageThatCannotBeReadEndsTheJobAfterElevenTries)
{
    RawImage(6 * MIB);
    m_pImage->FailReads(2 * MIB + 10, 2 * MIB + 11, SystemError::IoError());
    AddTarget(0, 6 * MIB);
    AddTarget(1, 6 * MIB);
    EXPECT_FALSE(RunWrite(2));
    EXPECT_EQ(m_pImage->ReadsAt(2 * MIB), 11u);
    EXPECT_EQ(m_recorder.CountLines("file read error (00200000-002FFFFF).\n" +
                                    GetSystemErrorText(SystemError::IoError()) + "\n"),
              11u);
    EXPECT_EQ(m_recorder.CountLines("file read retry out.\n"), 1u);
    EXPECT_FALSE(m_engine.m_bReaderResult);
    EXPECT_EQ(m_engine.m_dwReaderError, SystemError::IoError());
    EXPECT_FALSE(Logged("bytes wrote"));
    EXPECT_FALSE(Logged("disk write"));
    ExpectAllClosed();
}

}  // namespace
