// The compare engine beyond the engine matrix: differences located by
// sector, the mismatch limit, what the lengths of the drives and of a raw
// or compressed image decide, and damaged compressed images. (Its head
// lines: tests/e2e/test_write_loop.sh.)
#include "tests/engine/engine_rig.h"

namespace engine_test {
namespace {

// A drive compared to its end with differences fails without the failure
// message; each differing 512-byte sector (the last one shorter) is one
// range line.
TEST_F(CompareTest, DifferingBytesAreReportedAsTheirSectors)
{
    const auto image = RawImage(2 * MIB + 700);
    AddDriveWith(0, Changed(image, {MIB + 1000, 2 * MIB + 699}));
    const T_ENGINE_RESULT result = Compare(1);
    EXPECT_FALSE(result.bOk);
    EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Differs);
    const std::vector<std::string> expected = {"fake:drive0 - compare mismatch\n", "fake:drive0 - 00100200-001003FF\n",
                                               "fake:drive0 - 00200200-002002BB\n",
                                               "fake:drive0 - 2097852 bytes checked.\n"};
    EXPECT_EQ(LinesWith("fake:drive0 - "), expected);
    EXPECT_EQ(CountStyled(LOG_STYLE_WARNING), 3u);
    EXPECT_TRUE(FailedRows().empty());
}

// The limit'th differing sector ends the drive, with the failure message
// and without reading it on.
TEST_F(CompareTest, TheMismatchLimitGivesTheDriveUp)
{
    const auto image = RawImage(16 * MIB);
    std::vector<uint64_t> offsets;
    for (uint64_t k = 0; k < 150; ++k) offsets.push_back(k * 30 * 512 + 7);  // spread over three blocks
    const struct {
        uint32_t nLimit;
        std::string strLast, strEnd;
    } cases[] = {{100, "fake:drive0 - 00173400-001735FF\n", "fake:drive0 - too many mismatch.\n"},
                 {1, "fake:drive0 - 00000000-000001FF\n", "fake:drive0 - verify failed.\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nLimit);
        NextCase();
        auto pDisk = AddDriveWith(0, Changed(image, offsets));
        T_ENGINE_JOB job = Job(1);
        job.nMismatchLimit = c.nLimit;
        const T_ENGINE_RESULT result = CCompareDiskImage().Run(job);
        std::vector<std::string> ranges = LinesWith("fake:drive0 - 0");
        ASSERT_EQ(ranges.size(), c.nLimit);
        EXPECT_EQ(ranges.back(), c.strLast);
        EXPECT_EQ(m_recorder.LogLines().back().strText, c.strEnd);
        EXPECT_EQ(m_recorder.LogLines().back().dwWord, ComposeLogWord(LOG_STYLE_ERROR));
        EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Differs);
        EXPECT_FALSE(Logged("bytes checked"));
        EXPECT_EQ(FailedRows(), std::vector<int64_t>{ROWS[0]});
        EXPECT_LT(pDisk->TotalReads(), 16u);
    }
}

// The image's own length takes part in the verdict. A raw image shorter
// than the drive is compared over its own length, to its last byte; a
// compressed one (whose file size says nothing of it) fails the drive
// unless force-verify asks to compare what both have. An image longer
// fails the drive unless what lies past the drive's end is zero or
// force-verify asks for the length both have; a compressed image is
// inflated to its end, past the drive, where its end is checked as every
// reader checks it, and its own damage stops the run. A compare that took
// the drive's length for the image's, or never looked past the drive's
// end, would call some of these equal and fail others.
TEST_F(CompareTest, TheImagesOwnLengthDecides)
{
    const auto drive = Pattern(3 * MIB, 7);
    auto longer = drive;
    longer.insert(longer.end(), MIB, 0x00);
    auto oneMore = drive;
    oneMore.push_back(0x01);
    const auto dataEnd = Changed(longer, {4 * MIB - 1});
    const auto good = CompressToMemory(drive);
    auto zeroCrc = good;
    std::fill(zeroCrc.end() - 8, zeroCrc.end() - 4, 0);
    auto garbage = good;
    garbage.push_back('x');
    auto twoMembers = good;
    twoMembers.insert(twoMembers.end(), good.begin(), good.end());
    const std::string strPast = "fake:drive0 - the image", strDamaged =
        "the compressed data are damaged, or are not a gzip stream.\n";
    const ESlotVerdict OK = ESlotVerdict::Ok, DIFFERS = ESlotVerdict::Differs, STOPPED = ESlotVerdict::Stopped;
    const struct {
        const char* pName;
        bool bCompressed;
        std::vector<uint8_t> file;  // the image file's bytes
        bool bForce;
        ESlotVerdict eVerdict;  // the image's own damage stops the run
        uint64_t nChecked;    // 0: the drive fails before "bytes checked"
        std::string strLine;  // the last warning or the error line; empty for none
        size_t nWarnings;
    } cases[] = {
        {"equal", false, drive, false, OK, 3 * MIB, "", 0},
        {"half a block shorter", false, Head(drive, 5 * MIB / 2), false, OK, 5 * MIB / 2, "", 0},
        {"its last byte differs", false, Changed(Head(drive, 5 * MIB / 2), {5 * MIB / 2 - 1}), false, DIFFERS,
         5 * MIB / 2, "fake:drive0 - 0027FE00-0027FFFF\n", 2},
        {"zeros past the end", false, longer, false, OK, 3 * MIB,
         strPast + "'s last 1048576 bytes, past the drive's end, are all zero.\n", 1},
        {"one byte past the end", false, oneMore, false, DIFFERS, 0,
         strPast + "'s data go on 1 bytes past the drive's end, not all zero.\n", 0},
        {"data past the end", false, dataEnd, false, DIFFERS, 0,
         strPast + "'s data go on 1048576 bytes past the drive's end, not all zero.\n", 0},
        {"data past the end, forced", false, dataEnd, true, OK, 3 * MIB,
         strPast + " goes on 1048576 bytes past the drive's end; those bytes were not compared.\n", 1},
        {"compressed", true, good, false, OK, 3 * MIB,
         "  file size=" + std::to_string(good.size()) + " bytes(compressed).\n", 0},
        {"compressed, zeros past the end", true, CompressToMemory(longer), false, OK, 3 * MIB,
         strPast + "'s last 1048576 bytes, past the drive's end, are all zero.\n", 1},
        {"compressed, data past the end", true, CompressToMemory(dataEnd), false, DIFFERS, 0,
         strPast + "'s data go on 1048576 bytes past the drive's end, not all zero.\n", 0},
        {"compressed, data past the end, forced", true, CompressToMemory(dataEnd), true, OK, 3 * MIB,
         strPast + " goes on 1048576 bytes past the drive's end; those bytes were not compared.\n", 1},
        {"compressed, shorter", true, CompressToMemory(Head(drive, 5 * MIB / 2)), false, DIFFERS, 0,
         strPast + "'s data end at 2621440 bytes; the drive has 3145728 bytes.\n", 0},
        {"compressed, shorter, forced", true, CompressToMemory(Head(drive, 5 * MIB / 2)), true, OK, 5 * MIB / 2, "", 0},
        {"compressed, shorter, forced, differs", true, CompressToMemory(Changed(Head(drive, MIB), {MIB / 2})), true,
         DIFFERS, MIB, "fake:drive0 - 00080000-000801FF\n", 2},
        {"zero CRC", true, zeroCrc, false, STOPPED, 0, strDamaged, 0},
        {"garbage after the member", true, garbage, false, STOPPED, 0, strDamaged, 0},
        {"cut short", true, Head(good, good.size() - 4), false, STOPPED, 0,
         "the compressed data end too soon (the file is cut short).\n", 0},
        {"two members", true, twoMembers, false, STOPPED, 0,
         "the image has more than one gzip member, which is not supported.\n", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pName);
        NextCase();
        AddImage(c.file);
        AddDriveWith(0, drive);
        m_options.bCompressImage = c.bCompressed;
        m_options.bForceVerify = c.bForce;
        const T_ENGINE_RESULT result = Compare(1);
        EXPECT_EQ(result.bOk, c.eVerdict == OK);
        EXPECT_EQ(result.arrSlots[0].eVerdict, c.eVerdict);
        const bool bChecked = c.nChecked > 0;
        EXPECT_EQ(Count("fake:drive0 - " + std::to_string(c.nChecked) + " bytes checked.\n"), bChecked ? 1u : 0u);
        const std::string strLog = m_recorder.LogText();  // the line once
        EXPECT_TRUE(c.strLine.empty() || (Logged(c.strLine) && strLog.find(c.strLine) == strLog.rfind(c.strLine)));
        EXPECT_EQ(CountStyled(LOG_STYLE_WARNING), c.nWarnings);
        EXPECT_EQ(CountStyled(LOG_STYLE_ERROR) == 0, bChecked);
        EXPECT_FALSE(Logged("count mismatch"));
        EXPECT_EQ(FailedRows(), bChecked ? std::vector<int64_t>{} : std::vector<int64_t>{ROWS[0]});
    }
}

// Several drives: the shortest and a raw image set the length compared.
// Image data past it fail a drive, whether past its end or not compared
// on it, unless force-verify asks for the common length only.
TEST_F(CompareTest, TheShortestOfTheDrivesAndARawImageSetTheLength)
{
    const auto data = Pattern(3 * MIB, 7);
    AddImage(Head(data, 5 * MIB / 2));
    const std::string strPast = " - the image goes on 523776 bytes past ";
    const struct {
        bool bForce;
        std::vector<std::string> lines;
    } cases[] = {
        {true,
         {"fake:drive0 - 2097664 bytes checked.\n", "short - 2097664 bytes checked.\n",
          "fake:drive0" + strPast + "the 2097664 bytes compared; those bytes were not compared.\n",
          "short" + strPast + "the drive's end; those bytes were not compared.\n"}},
        {false,
         {"fake:drive0 - the image's data go on 523776 bytes past the 2097664 bytes compared, not all zero.\n",
          "short - the image's data go on 523776 bytes past the drive's end, not all zero.\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bForce);
        NextCase();
        AddDriveWith(0, data);
        AddDriveWith(1, Head(data, 2 * MIB + 512));
        m_options.bForceVerify = c.bForce;
        T_ENGINE_JOB job = Job(2);
        job.arrDrives[1].strName = "short";
        const T_ENGINE_RESULT result = CCompareDiskImage().Run(job);
        EXPECT_EQ(result.bOk, c.bForce);
        EXPECT_EQ(result.nTotal, 2 * MIB + 512);
        for (const std::string& strLine : c.lines) EXPECT_EQ(Count(strLine), 1u) << strLine;
        EXPECT_EQ(CountStyled(LOG_STYLE_WARNING) + CountStyled(LOG_STYLE_ERROR), 2u);
    }
}

TEST_F(CompareTest, AMediumThatEndsEarlyFailsOnTheLengthOfItsLastBlock)
{
    const auto image = RawImage(3 * MIB);
    AddDriveWith(0, image)->EndEarlyAt(2 * MIB);
    const T_ENGINE_RESULT result = Compare(1);
    EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::Differs);
    EXPECT_EQ(Count("fake:drive0 - disk/file read count mismatch 00000000:00100000.\n"), 1u);
    EXPECT_EQ(FailedRows(), std::vector<int64_t>{ROWS[0]});
}

// In the unstable-media mode the image comes in 4096-byte blocks too, so
// that each pairs with a drive block, the short last one included.
TEST_F(CompareTest, UnstableMediaAreComparedIn4096ByteBlocks)
{
    m_options.bUnstableRead = true;
    m_options.nUnstableReadCount = UNSTABLE_READ_AGREEMENT;
    const auto image = RawImage(40 * 1024 + 100);
    auto pDisk = AddDriveWith(0, Changed(image, {20000}));
    EXPECT_FALSE(Compare(1).bOk);
    EXPECT_EQ(pDisk->ReadsAt(40 * 1024), 4u);
    EXPECT_EQ(Count("fake:drive0 - 00004E00-00004FFF\n"), 1u);
    EXPECT_EQ(Count("fake:drive0 - 41060 bytes checked.\n"), 1u);
    EXPECT_FALSE(Logged("count mismatch"));
}

}  // namespace
}  // namespace engine_test
