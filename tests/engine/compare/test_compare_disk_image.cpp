// The compare engine against fake drives and raw image files: equal drives,
// differences located by sector, the mismatch limit, drives that fail or
// cannot take part, lengths that differ, and the unstable-media mode.
#include "tests/engine/compare/compare_fixture.h"

namespace {

// The image with the byte at each offset changed.
std::vector<uint8_t> Changed(std::vector<uint8_t> data, const std::vector<uint64_t>& offsets)
{
    for (uint64_t nOffset : offsets) data[nOffset] ^= 0x5A;
    return data;
}

TEST_F(CompareDiskImageTest, ADriveEqualToTheImageIsCheckedToItsEnd)
{
    auto pDisk = CFakeDisk::WithPattern(3 * MIB + 700);  // a last block and a last sector that are short
    const std::string strImage = RawImage(pDisk->Contents());
    ASSERT_TRUE(Compare({pDisk}, strImage));
    const auto lines = m_recorder.LogLines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0].strText, "VERIFY");
    EXPECT_EQ(lines[1].strText, " " + strImage + " <=> fake:drive0");
    EXPECT_EQ(lines[2].strText, "\n");
    EXPECT_EQ(lines[3].strText, "fake:drive0\n");
    EXPECT_EQ(lines[4].strText, "  disk size=3146428 bytes.\n");
    EXPECT_EQ(lines[5].strText, "  file size=3146428 bytes.\n");
    EXPECT_EQ(lines[6].strText, "fake:drive0 - 3146428 bytes checked.\n");
    EXPECT_EQ(CountStyled(LOG_STYLE_WARNING) + CountStyled(LOG_STYLE_ERROR), 0u);
    EXPECT_TRUE(FailedRows().empty());
    EXPECT_EQ(m_engine.m_compTask[0].nResult, 1u);
    EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
}

TEST_F(CompareDiskImageTest, DifferingBytesAreReportedAsTheirSectorsWithoutAFailureMessage)
{
    auto pDisk = CFakeDisk::WithPattern(2 * MIB + 700);
    const uint64_t nLast = 2 * MIB + 699;
    m_engine.m_strName[0] = "Disk 1";
    EXPECT_FALSE(Compare({pDisk}, RawImage(Changed(pDisk->Contents(), {MIB + 1000, nLast}))));
    const std::string strLog = m_recorder.LogText();
    const size_t nFirst = strLog.find("Disk 1 - compare mismatch\nDisk 1 - 00100200-001003FF\n");
    const size_t nShort = strLog.find("Disk 1 - 00200200-002002BB\n");  // the short last sector
    const size_t nChecked = strLog.find("Disk 1 - 2097852 bytes checked.\n");
    ASSERT_NE(nFirst, std::string::npos);
    ASSERT_NE(nShort, std::string::npos);
    ASSERT_NE(nChecked, std::string::npos);
    EXPECT_LT(nFirst, nShort);
    EXPECT_LT(nShort, nChecked);
    EXPECT_EQ(m_recorder.CountLines("Disk 1 - compare mismatch\n"), 1u);
    EXPECT_EQ(CountStyled(LOG_STYLE_WARNING), 3u);
    EXPECT_EQ(CountStyled(LOG_STYLE_ERROR), 0u);
    EXPECT_TRUE(FailedRows().empty());
    EXPECT_EQ(m_engine.m_compTask[0].nResult, 0u);
}

TEST_F(CompareDiskImageTest, TheHundredthDifferingSectorStopsTheDrive)
{
    auto pDisk = CFakeDisk::WithPattern(16 * MIB);
    std::vector<uint64_t> offsets;
    for (uint64_t k = 0; k < 150; ++k) offsets.push_back(k * 30 * 512 + 7);  // spread over three blocks
    m_engine.m_nRow[0] = 2;
    EXPECT_FALSE(Compare({pDisk}, RawImage(Changed(pDisk->Contents(), offsets))));
    const auto lines = m_recorder.LogLines();
    std::vector<std::string> ranges;
    for (const T_LOG_LINE& line : lines) {
        if (line.strText.starts_with("fake:drive0 - 0")) ranges.push_back(line.strText);
    }
    ASSERT_EQ(ranges.size(), 100u);
    EXPECT_EQ(ranges.front(), "fake:drive0 - 00000000-000001FF\n");
    EXPECT_EQ(ranges.back(), "fake:drive0 - 00173400-001735FF\n");  // sector 99 x 30
    EXPECT_EQ(lines.back().strText, "fake:drive0 - too many mismatch.\n");
    EXPECT_EQ(lines.back().dwWord, ComposeLogWord(LOG_STYLE_ERROR));
    EXPECT_EQ(m_recorder.LogText().find("bytes checked"), std::string::npos);
    EXPECT_EQ(FailedRows(), std::vector<int64_t>{2});
    EXPECT_LT(pDisk->TotalReads(), 16u);  // the drive is not read on after its slot failed
}

TEST_F(CompareDiskImageTest, WithALimitOfOneTheFirstDifferenceFailsTheVerify)
{
    auto pDisk = CFakeDisk::WithPattern(MIB);
    m_engine.m_nMismatchLimit = 1;
    EXPECT_FALSE(Compare({pDisk}, RawImage(Changed(pDisk->Contents(), {600, 5000}))));
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 00000200-000003FF\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - verify failed.\n"), 1u);
    EXPECT_EQ(m_recorder.LogText().find("00001200"), std::string::npos);
    EXPECT_EQ(FailedRows(), std::vector<int64_t>{0});
}

TEST_F(CompareDiskImageTest, AnUnreadableDriveFailsAloneWhileTheOtherIsComparedToTheEnd)
{
    auto pGood = CFakeDisk::WithPattern(4 * MIB);
    auto pBad = std::make_shared<CFakeDisk>(pGood->Contents());
    pBad->FailReads(MIB + 10, MIB + 11, SystemError::IoError());
    m_engine.m_nRow[1] = 3;
    EXPECT_FALSE(Compare({pGood, pBad}, RawImage(pGood->Contents())));
    EXPECT_EQ(pBad->ReadsAt(MIB), 11u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive1 - disk read error (00100000-001FFFFF).\n" + IoErrorText() + "\n"),
              11u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive1 - disk read retry out.\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 4194304 bytes checked.\n"), 1u);
    EXPECT_EQ(m_recorder.LogText().find("fake:drive1 - 4194304 bytes checked"), std::string::npos);
    EXPECT_EQ(FailedRows(), std::vector<int64_t>{3});
    EXPECT_EQ(m_engine.m_compTask[0].nResult, 1u);
    EXPECT_EQ(m_engine.m_compTask[1].nResult, 0u);
    EXPECT_EQ(pBad->OpenCount(), pBad->CloseCount());
}

TEST_F(CompareDiskImageTest, FiveDrivesOrNoneAreRefusedWithoutAWord)
{
    auto pDisk = CFakeDisk::WithPattern(MIB);
    const std::string strImage = RawImage(pDisk->Contents());
    const std::vector<std::string> five(5, Drive(0));
    m_devices.Add(Drive(0), pDisk);
    EXPECT_FALSE(m_engine.Run(five, strImage, 16));
    EXPECT_FALSE(m_engine.Run({}, strImage, 16));
    EXPECT_TRUE(m_recorder.Messages().empty());
    EXPECT_EQ(pDisk->OpenCount(), 0u);
}

TEST_F(CompareDiskImageTest, DrivesThatCannotTakePartAreLeftOutAndFailTheRun)
{
    auto pGood = CFakeDisk::WithPattern(2 * MIB);
    auto pUnopened = CFakeDisk::WithPattern(2 * MIB);
    pUnopened->FailOpen(SystemError::IoError());
    auto pFolder = CFakeDisk::WithPattern(2 * MIB);
    pFolder->SetKind(EDeviceKind::CharacterDevice);
    auto pUnmeasured = CFakeDisk::WithPattern(2 * MIB);
    pUnmeasured->FailLengthRequest(SystemError::IoError(), true);
    EXPECT_FALSE(Compare({pGood, pUnopened, pFolder, pUnmeasured}, RawImage(pGood->Contents())));
    EXPECT_EQ(m_recorder.CountLines("can't open disk fake:drive1.\n" + IoErrorText() + "\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("can't open disk fake:drive2.\nit is a character device, not a disk.\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("GetDiskSize() failed.\n" + IoErrorText() + "\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 2097152 bytes checked.\n"), 1u);
    EXPECT_EQ(m_engine.m_compTask[0].nResult, 1u);
    for (const auto& pDisk : {pGood, pFolder, pUnmeasured}) EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
    EXPECT_EQ(pFolder->TotalReads() + pUnmeasured->TotalReads(), 0u);
}

TEST_F(CompareDiskImageTest, AnImageThatCannotBeOpenedEndsTheRunBeforeAnyRead)
{
    auto pDisk = CFakeDisk::WithPattern(MIB);
    const std::string strImage = m_dir.File("missing.gmi");
    EXPECT_FALSE(Compare({pDisk}, strImage));
    EXPECT_NE(m_recorder.LogText().find("can't open file " + strImage + ".\n"), std::string::npos);
    EXPECT_EQ(m_recorder.LogText().find("disk size="), std::string::npos);
    EXPECT_EQ(pDisk->TotalReads(), 0u);
    EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
}

// The shortest drive and a raw image set the length compared. Image data
// past it fail a drive, whether past its end or not compared on it, unless
// force-verify asks for the common length only.
TEST_F(CompareDiskImageTest, TheShortestOfTheDrivesAndARawImageSetTheLength)
{
    auto pLong = CFakeDisk::WithPattern(3 * MIB);
    const auto& data = pLong->Contents();
    auto pShort = std::make_shared<CFakeDisk>(std::vector<uint8_t>(data.begin(), data.begin() + 2 * MIB + 512));
    const std::string strImage = RawImage(std::vector<uint8_t>(data.begin(), data.begin() + 5 * MIB / 2));
    const std::string strPast = " - the image goes on 523776 bytes past ";
    struct T_CASE {
        bool bForce;
        std::vector<std::shared_ptr<CFakeDisk>> drives;
        bool bOk;
        std::vector<std::string> lines;
    } cases[] = {
        {false, {pLong}, true, {"fake:drive0 - 2621440 bytes checked.\n"}},
        {true,
         {pLong, pShort},
         true,
         {"fake:drive0 - 2097664 bytes checked.\n", "short - 2097664 bytes checked.\n",
          "fake:drive0" + strPast + "the 2097664 bytes compared; those bytes were not compared.\n",
          "short" + strPast + "the drive's end; those bytes were not compared.\n"}},
        {false,
         {pLong, pShort},
         false,
         {"fake:drive0 - the image's data go on 523776 bytes past the 2097664 bytes compared, not all zero.\n",
          "short - the image's data go on 523776 bytes past the drive's end, not all zero.\n"}},
    };
    m_engine.m_strName[1] = "short";
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.lines.back());
        m_recorder.Clear();
        g_bOptForceVerify = c.bForce;
        EXPECT_EQ(Compare(c.drives, strImage), c.bOk);
        size_t nChecked = 0;
        for (const std::string& strLine : c.lines) {
            EXPECT_EQ(m_recorder.CountLines(strLine), 1u) << strLine;
            nChecked += strLine.ends_with("bytes checked.\n") ? 1 : 0;
        }
        EXPECT_EQ(CountStyled(LOG_STYLE_WARNING) + CountStyled(LOG_STYLE_ERROR), c.lines.size() - nChecked);
    }
}

TEST_F(CompareDiskImageTest, AMediumThatEndsEarlyFailsOnTheLengthOfItsLastBlock)
{
    auto pDisk = CFakeDisk::WithPattern(3 * MIB);
    pDisk->EndEarlyAt(2 * MIB);
    EXPECT_FALSE(Compare({pDisk}, RawImage(pDisk->Contents())));
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - disk/file read count mismatch 00000000:00100000.\n"), 1u);
    EXPECT_EQ(FailedRows(), std::vector<int64_t>{0});
}

class CompareUnstableTest : public CompareDiskImageTest {
protected:
    void SetUp() override
    {
        CompareDiskImageTest::SetUp();
        g_bOptUnstableRead = true;
        g_nUnstableReadCount = UNSTABLE_READ_AGREEMENT;
    }
};

TEST_F(CompareUnstableTest, DriveAndImageArePairedIn4096ByteBlocks)
{
    auto pDisk = CFakeDisk::WithPattern(40 * 1024 + 100);
    pDisk->UnstableReads(8192, 8193, 3);  // settles after three reads
    EXPECT_FALSE(Compare({pDisk}, RawImage(Changed(pDisk->Contents(), {20000}))));
    EXPECT_EQ(pDisk->ReadsAt(0), 4u);
    EXPECT_EQ(pDisk->ReadsAt(40 * 1024), 4u);  // the short last block too
    EXPECT_GE(m_recorder.CountLines("fake:drive0 - disk read unstable (00002000-00002FFF).\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 00004E00-00004FFF\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 41060 bytes checked.\n"), 1u);
    EXPECT_EQ(m_recorder.LogText().find("count mismatch"), std::string::npos);
}

TEST_F(CompareUnstableTest, ABlockThatNeverSettlesFailsItsDrive)
{
    auto pDisk = CFakeDisk::WithPattern(16 * 1024);
    pDisk->UnstableReads(4096, 4097);
    EXPECT_FALSE(Compare({pDisk}, RawImage(pDisk->Contents())));
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - disk read retry out.\n"), 1u);
    EXPECT_EQ(FailedRows(), std::vector<int64_t>{0});
}

}  // namespace
