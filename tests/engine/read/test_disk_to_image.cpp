// The read engine against fake drives and real image files: copies,
// retries, unstable media, short media, failing images, questions.
#include "tests/engine/read/disk_to_image_fixture.h"

namespace {

TEST_F(DiskToImageTest, CopiesTheWholeDriveAndItsDigest)
{
    auto pDisk = CFakeDisk::WithPattern(5 * MIB + 512);  // a last block shorter than 1 MiB
    ASSERT_TRUE(RunRead(pDisk));
    EXPECT_EQ(ReadWholeFile(Image()), pDisk->Contents());
    EXPECT_TRUE(m_engine.m_bDigestValid);
    EXPECT_EQ(m_strDigest, Md5Of(pDisk->Contents()));
    EXPECT_EQ(m_recorder.CountLines("DISK MD5SUM=" + Md5Of(pDisk->Contents()) + "\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("READ " + DRIVE + " => " + Image() + "\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("  disk size=5243392 bytes.\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines(DRIVE + " - 5243392 bytes dumped.\n"), 1u);
    EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
}

TEST_F(DiskToImageTest, PostsProgressForImageAndDriveRow)
{
    auto pDisk = CFakeDisk::WithPattern(3 * MIB);
    ASSERT_TRUE(RunRead(pDisk));
    const auto total = m_recorder.ProgressValues(PROGRESS_TOTAL);
    ASSERT_FALSE(total.empty());
    EXPECT_EQ(total.back(), 1000);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_IMAGE).back(), 1000);
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_DRIVE + 2).back(), 1000);
    EXPECT_FALSE(m_recorder.ProgressTexts(PROGRESS_DRIVE_SPEED + 2).empty());
    EXPECT_FALSE(m_recorder.ProgressTexts(PROGRESS_IMAGE_SPEED).empty());
    EXPECT_TRUE(m_recorder.ProgressValues(PROGRESS_DRIVE).empty());  // row 0 is not ours
    for (int64_t v : total) EXPECT_TRUE(v >= 0 && v <= 1000);
}

TEST_F(DiskToImageTest, HalfTheBarWhenAVerifyPassFollows)
{
    g_bOptVerify = true;  // the runner's option, not a member of the engine
    ASSERT_TRUE(RunRead(CFakeDisk::WithPattern(2 * MIB)));
    EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_TOTAL).back(), 500);
}

TEST_F(DiskToImageTest, ZeroByteDriveGivesTheDigestOfNothing)
{
    auto pDisk = std::make_shared<CFakeDisk>(std::vector<uint8_t>{});
    ASSERT_TRUE(RunRead(pDisk));
    EXPECT_EQ(m_strDigest, "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_TRUE(ReadWholeFile(Image()).empty());
}

TEST_F(DiskToImageTest, RegionThatAlwaysFailsIsReadElevenTimesThenGivenUp)
{
    auto pDisk = CFakeDisk::WithPattern(4 * MIB);
    pDisk->FailReads(2 * MIB + 100, 2 * MIB + 200, SystemError::IoError());
    EXPECT_FALSE(RunRead(pDisk));
    EXPECT_EQ(pDisk->ReadsAt(2 * MIB), 11u);
    EXPECT_EQ(pDisk->ReadsAt(3 * MIB), 0u);
    const std::string strWarning = "disk read error (00200000-002FFFFF).\n" +
                                   GetSystemErrorText(SystemError::IoError()) + "\n";
    EXPECT_EQ(m_recorder.CountLines(strWarning), 11u);
    EXPECT_EQ(m_recorder.CountLines("disk read retry out.\n"), 1u);
    EXPECT_FALSE(m_engine.m_reader.bSuccess);
    EXPECT_FALSE(m_engine.m_bDigestValid);
    // What came before the bad block is in the image, nothing after it.
    const auto image = ReadWholeFile(Image());
    ASSERT_LE(image.size(), 2 * MIB);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), pDisk->Contents().begin()));
    EXPECT_EQ(m_recorder.LogText().find("bytes dumped"), std::string::npos);
    EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
}

TEST_F(DiskToImageTest, BlockThatReadsOnTheEleventhTryIsKept)
{
    auto pDisk = CFakeDisk::WithPattern(2 * MIB);
    pDisk->FailReads(MIB, MIB + 1, SystemError::IoError(), 10);
    ASSERT_TRUE(RunRead(pDisk));
    EXPECT_EQ(pDisk->ReadsAt(MIB), 11u);
    EXPECT_EQ(ReadWholeFile(Image()), pDisk->Contents());
    EXPECT_EQ(m_recorder.LogText().find("retry out"), std::string::npos);
    EXPECT_EQ(m_strDigest, Md5Of(pDisk->Contents()));
}

TEST_F(DiskToImageTest, UnstableModeAcceptsFourAgreeingReads)
{
    g_bOptUnstableRead = true;
    g_nUnstableReadCount = UNSTABLE_READ_AGREEMENT;
    auto pDisk = CFakeDisk::WithPattern(64 * 1024);
    pDisk->UnstableReads(8192, 8192 + 16, 3);  // three unsettled reads, then stable
    ASSERT_TRUE(RunRead(pDisk));
    EXPECT_EQ(ReadWholeFile(Image()), pDisk->Contents());
    EXPECT_EQ(m_strDigest, Md5Of(pDisk->Contents()));
    // Read 1 is the reference and read 2 disagrees; read 3 is the next
    // reference and read 4 (the first settled one) disagrees; reads 5..8
    // agree: two warnings and eight reads of that block.
    EXPECT_EQ(m_recorder.CountLines("disk read unstable (00002000-00002FFF).\n"), 2u);
    EXPECT_EQ(pDisk->ReadsAt(8192), 8u);
    EXPECT_EQ(pDisk->ReadsAt(0), 4u);  // a stable block is read four times
}

TEST_F(DiskToImageTest, UnstableModeGivesUpOnDataThatNeverSettle)
{
    g_bOptUnstableRead = true;
    g_nUnstableReadCount = UNSTABLE_READ_AGREEMENT;
    auto pDisk = CFakeDisk::WithPattern(16 * 1024);
    pDisk->UnstableReads(4096, 4097);
    EXPECT_FALSE(RunRead(pDisk));
    EXPECT_EQ(m_recorder.CountLines("disk read retry out.\n"), 1u);
    // Every read after the first disagrees with its reference; counted
    // reads stop after 14, with 7 warnings.
    EXPECT_EQ(m_recorder.CountLines("disk read unstable (00001000-00001FFF).\n"), 7u);
    EXPECT_EQ(pDisk->ReadsAt(4096), 15u);
}

TEST_F(DiskToImageTest, MediumThatEndsEarlyIsASuccessOverWhatWasRead)
{
    auto pDisk = CFakeDisk::WithPattern(6 * MIB);
    pDisk->EndEarlyAt(3 * MIB + 4096);
    ASSERT_TRUE(RunRead(pDisk));
    std::vector<uint8_t> expected(pDisk->Contents().begin(), pDisk->Contents().begin() + 3 * MIB + 4096);
    EXPECT_EQ(ReadWholeFile(Image()), expected);
    EXPECT_EQ(m_strDigest, Md5Of(expected));
    EXPECT_EQ(m_recorder.CountLines(DRIVE + " - 3149824 bytes dumped.\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("  disk size=6291456 bytes.\n"), 1u);
}

TEST_F(DiskToImageTest, ImageWritesThatKeepFailingEndTheJob)
{
    // The image is a fake too; the drive is larger than the pool, so the
    // reader is still busy when the writer gives up.
    const std::string strImage = FAKE_IMAGE;
    auto pImage = FakeImage();
    pImage->FailWrites(2 * MIB, 2 * MIB + 1, SystemError::IoError());
    m_devices.Add(DRIVE, CFakeDisk::WithPattern(48 * MIB));
    EXPECT_FALSE(m_engine.Run(DRIVE, strImage, 16));
    const std::string strWarning =
        "file write error (00200000-002FFFFF).\n" + GetSystemErrorText(SystemError::IoError()) + "\n";
    EXPECT_EQ(m_recorder.CountLines(strWarning), 11u);
    EXPECT_EQ(m_recorder.CountLines("file write retry out.\n"), 1u);
    EXPECT_FALSE(m_engine.m_writer.bSuccess);
    EXPECT_EQ(m_recorder.LogText().find("bytes dumped"), std::string::npos);
    EXPECT_EQ(pImage->OpenCount(), pImage->CloseCount());
}

TEST_F(DiskToImageTest, ExistingImageAndAnswerNoLeavesItUntouched)
{
    const std::vector<uint8_t> previous = {'k', 'e', 'e', 'p'};
    WriteWholeFile(Image(), previous);
    CScriptedPrompt no(false);
    EXPECT_FALSE(RunRead(CFakeDisk::WithPattern(MIB), &no));
    EXPECT_EQ(no.m_nAsked, 1);
    EXPECT_EQ(no.m_strText, "上書きしますか？");
    EXPECT_EQ(no.m_strCaption, "Gravelmoor");
    EXPECT_EQ(ReadWholeFile(Image()), previous);
    EXPECT_EQ(m_recorder.CountLines("can't create file " + Image() + ".\nit exists and was kept as it is.\n"), 1u);
}

TEST_F(DiskToImageTest, ExistingImageWithoutAPromptIsNeverOverwritten)
{
    WriteWholeFile(Image(), {1, 2, 3});
    EXPECT_FALSE(RunRead(CFakeDisk::WithPattern(MIB), nullptr));
    EXPECT_EQ(ReadWholeFile(Image()), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(DiskToImageTest, ExistingImageAndAnswerYesIsReplaced)
{
    WriteWholeFile(Image(), std::vector<uint8_t>(3 * MIB, 0xEE));  // longer than the drive
    CScriptedPrompt yes(true);
    auto pDisk = CFakeDisk::WithPattern(MIB + 7);
    ASSERT_TRUE(RunRead(pDisk, &yes));
    EXPECT_EQ(ReadWholeFile(Image()), pDisk->Contents());
}

TEST_F(DiskToImageTest, DriveThatCannotBeOpenedFailsWithTheSystemText)
{
    auto pDisk = CFakeDisk::WithPattern(MIB);
    pDisk->FailOpen(SystemError::NotReady());
    EXPECT_FALSE(RunRead(pDisk));
    EXPECT_EQ(m_recorder.CountLines("can't open disk " + DRIVE + ".\n" +
                                    GetSystemErrorText(SystemError::NotReady()) + "\n"),
              1u);
}

TEST_F(DiskToImageTest, SizeFromGeometryWhenTheLengthRequestFails)
{
    auto pDisk = CFakeDisk::WithPattern(2 * MIB);
    pDisk->FailLengthRequest(SystemError::NotSupported(), false);
    ASSERT_TRUE(RunRead(pDisk));
    EXPECT_EQ(ReadWholeFile(Image()), pDisk->Contents());
}

TEST_F(DiskToImageTest, NoSizeAtAllFails)
{
    auto pDisk = CFakeDisk::WithPattern(MIB);
    pDisk->FailLengthRequest(SystemError::NotSupported(), true);
    EXPECT_FALSE(RunRead(pDisk));
    EXPECT_EQ(m_recorder.CountLines("GetDiskSize() failed.\n" +
                                    GetSystemErrorText(SystemError::NotSupported()) + "\n"),
              1u);
}

TEST_F(DiskToImageTest, ImageThatCannotBeCreatedFails)
{
    m_devices.Add(DRIVE, CFakeDisk::WithPattern(MIB));
    const std::string strImage = m_dir.File("no-such-folder/image.gmi");
    EXPECT_FALSE(m_engine.Run(DRIVE, strImage, 16));
    EXPECT_NE(m_recorder.LogText().find("can't create file " + strImage + ".\n"), std::string::npos);
}

TEST_F(DiskToImageTest, AbortFromAnotherThreadEndsTheRunPromptly)
{
    auto pDisk = CFakeDisk::WithPattern(64 * MIB);
    pDisk->SetReadDelayMs(20);
    std::thread stopper([&] {
        while (pDisk->TotalReads() < 3) std::this_thread::yield();
        m_engine.Abort();
    });
    EXPECT_FALSE(RunRead(pDisk));
    stopper.join();
    EXPECT_LT(pDisk->TotalReads(), 64u);
    EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
    EXPECT_EQ(m_recorder.LogText().find("bytes dumped"), std::string::npos);
}

}  // namespace
