// Writing only the units that differ, and the MD5 read-back check: skipped
// units, digests that match or not, read-back failures, the wait for the
// image's digest, the pool that never starves a writer, and the progress
// of the read-back.
#include <chrono>

#include "tests/engine/write/image_to_disk_fixture.h"

namespace {

using namespace std::chrono_literals;

TEST_F(ImageToDiskTest, WriteDifferencesOnlyOnAnIdenticalDriveWritesNothing)
{
    g_bOptCompareAfterWrite = true;
    const uint64_t nSize = 4 * MIB + 1000;
    const auto image = RawImage(nSize);
    auto pTarget = std::make_shared<CFakeDisk>(image);
    pTarget->FailWrites(0, nSize, SystemError::IoError());  // any write would show
    m_devices.Add(Target(0), pTarget);
    m_targets.push_back(pTarget);
    ASSERT_TRUE(RunWrite(1));
    EXPECT_EQ(m_recorder.CountLines("fake:target0 - 0 bytes wrote (skip=4195304).\n"), 1u);
    EXPECT_FALSE(Logged("disk write error"));
    EXPECT_EQ(pTarget->Contents(), image);
}

TEST_F(ImageToDiskTest, WriteDifferencesOnlyWritesJustTheUnitsThatDiffer)
{
    g_bOptCompareAfterWrite = true;
    const uint64_t nSize = 6 * MIB + 1000;
    const auto image = RawImage(nSize);
    // The first three units hold the image already, the rest do not.
    auto contents = Pattern(static_cast<size_t>(nSize), 55);
    std::copy(image.begin(), image.begin() + 3 * MIB, contents.begin());
    auto pTarget = std::make_shared<CFakeDisk>(contents);
    pTarget->FailWrites(0, 3 * MIB, SystemError::IoError());  // a write there would show
    m_devices.Add(Target(0), pTarget);
    m_targets.push_back(pTarget);
    ASSERT_TRUE(RunWrite(1));
    EXPECT_EQ(m_recorder.CountLines("fake:target0 - 3146728 bytes wrote (skip=3145728).\n"), 1u);
    EXPECT_EQ(pTarget->Contents(), image);
}

TEST_F(ImageToDiskTest, ComparingAndReadingBackNeverStarveTheWriters)
{
    // Four writers, each with a block of its own, and an image far longer
    // than the pool: the reader fills every other block at once.
    g_bOptCompareAfterWrite = true;
    g_bOptMD5Verify = true;
    const uint64_t nSize = 24 * MIB;
    const auto image = RawImage(nSize);
    for (int i = 0; i < 4; ++i) AddTarget(i, nSize);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunWrite(4, 16));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 60s);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m_targets[i]->Contents(), image) << i;
        EXPECT_TRUE(m_engine.m_Task[i].bMd5Match) << i;
    }
}

TEST_F(ImageToDiskTest, TheMd5CheckOfAnUntouchedDriveMatchesTheImage)
{
    g_bOptMD5Verify = true;
    const auto image = RawImage(3 * MIB + 5);
    AddTarget(0, image.size());
    AddTarget(1, image.size());
    ASSERT_TRUE(RunWrite(2));
    const std::string strDigest = Md5Of(image);
    EXPECT_TRUE(m_engine.m_bImageMd5Valid);
    EXPECT_EQ(Md5Text(m_engine.m_ImageMd5), strDigest);
    EXPECT_EQ(m_recorder.CountLines("IMAGE MD5SUM=" + strDigest + "\n"), 1u);
    const std::string strLog = m_recorder.LogText();
    for (int i : {0, 1}) {
        const std::string strLine = Target(i) + " MD5SUM=" + strDigest + "\n";
        EXPECT_EQ(m_recorder.CountLines(strLine), 1u);
        EXPECT_LT(strLog.find("IMAGE MD5SUM="), strLog.find(strLine));
        EXPECT_LT(strLog.find(Target(i) + " - 3145733 bytes wrote.\n"), strLog.find(strLine));
        EXPECT_TRUE(m_engine.m_Task[i].bMd5Match);
    }
}

TEST_F(ImageToDiskTest, TheMd5CheckOfATamperedDriveDiffers)
{
    g_bOptMD5Verify = true;
    const auto image = RawImage(3 * MIB);
    AddTarget(0, 3 * MIB);
    AddTarget(1, 3 * MIB)->UnstableReads(2 * MIB, 2 * MIB + 16);  // reads there differ from what was written
    ASSERT_TRUE(RunWrite(2));  // the write itself succeeded
    EXPECT_TRUE(m_engine.m_Task[0].bMd5Match);
    EXPECT_FALSE(m_engine.m_Task[1].bMd5Match);
    EXPECT_TRUE(m_engine.m_Task[1].bResult);
    EXPECT_EQ(m_targets[1]->Contents(), image);
    EXPECT_EQ(m_recorder.CountLines("fake:target1 MD5SUM=" + Md5Of(image) + "\n"), 0u);
    EXPECT_TRUE(Logged("fake:target1 MD5SUM="));
}

TEST_F(ImageToDiskTest, AReadBackThatFailsLeavesNoDigestLine)
{
    g_bOptMD5Verify = true;
    RawImage(3 * MIB);
    AddTarget(0, 3 * MIB)->FailReads(MIB + 10, MIB + 11, SystemError::IoError());
    ASSERT_TRUE(RunWrite(1));
    EXPECT_EQ(m_recorder.CountLines("fake:target0 - disk read error (00100000-001FFFFF).\n" +
                                    GetSystemErrorText(SystemError::IoError()) + "\n"),
              11u);
    EXPECT_EQ(m_recorder.CountLines("fake:target0 - disk read retry out.\n"), 1u);
    EXPECT_FALSE(Logged("fake:target0 MD5SUM="));
    EXPECT_TRUE(m_engine.m_Task[0].bResult);
    EXPECT_FALSE(m_engine.m_Task[0].bMd5Match);
}

TEST_F(ImageToDiskTest, TheReadBackWaitsForTheImagesDigest)
{
    // Drives of 0 bytes are read back at once, while the reader still
    // waits for its first (slow) read of the image to learn whether the
    // image goes on past them: the comparison must wait for its digest.
    g_bOptMD5Verify = true;
    g_bOptForceWrite = true;
    CompressedImage(Pattern(MIB, 9));
    m_pImage->SetReadDelayMs(200);
    AddTarget(0, 0);
    AddTarget(1, 0);
    ASSERT_TRUE(RunWrite(2));
    const std::string strEmpty = "d41d8cd98f00b204e9800998ecf8427e";
    EXPECT_EQ(m_recorder.CountLines("IMAGE MD5SUM=" + strEmpty + "\n"), 1u);
    const std::string strLog = m_recorder.LogText();
    for (int i : {0, 1}) {
        EXPECT_TRUE(m_engine.m_Task[i].bMd5Match) << i;
        EXPECT_LT(strLog.find("IMAGE MD5SUM="), strLog.find(Target(i) + " MD5SUM=" + strEmpty)) << i;
    }
}

TEST_F(ImageToDiskTest, TheWholeJobFigureKeepsMovingDuringTheReadBack)
{
    g_bOptMD5Verify = true;
    RawImage(16 * MIB);
    AddTarget(0, 16 * MIB)->SetReadDelayMs(25);  // only the read-back reads the target
    ASSERT_TRUE(RunWrite(1));
    const auto total = m_recorder.ProgressValues(PROGRESS_TOTAL);
    EXPECT_TRUE(std::is_sorted(total.begin(), total.end()));
    EXPECT_TRUE(std::any_of(total.begin(), total.end(), [](int64_t v) { return v > 500 && v < 1000; }));
    EXPECT_EQ(total.back(), 1000);
    const auto verify = m_recorder.ProgressValues(PROGRESS_DRIVE_VERIFY + ROWS[0]);
    EXPECT_TRUE(std::any_of(verify.begin(), verify.end(), [](int64_t v) { return v > 0 && v < 1000; }));
    EXPECT_EQ(verify.back(), 1000);
}

}  // namespace
