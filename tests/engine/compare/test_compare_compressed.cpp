// The compare engine with compressed images: the drive's length decides,
// the image is read to its end past it, an image that ends before the
// drive fails it unless force-verify asks to compare what both have, and
// a broken stream ends the whole run.
#include "tests/engine/compare/compare_rig.h"

namespace engine_test {
namespace {

class CompressedCompareTest : public CompareTest {
protected:
    void SetUp() override
    {
        if (!CZLIBIO().IsLoaded()) GTEST_SKIP() << "no zlib library here";
    }
};

// With force-verify the common length is compared and counted; an image
// that ends on a block boundary ends the comparison there, and differences
// in the common part still count.
TEST_F(CompressedCompareTest, WithForceVerifyTheCommonLengthIsComparedAndCounted)
{
    const auto data = Pattern(3 * MIB, 1);
    m_options.bForceVerify = true;
    const struct {
        std::vector<uint8_t> image;
        ESlotVerdict eVerdict;
        std::string strChecked;
    } cases[] = {{Head(data, 5 * MIB / 2), ESlotVerdict::Ok, "fake:drive0 - 2621440 bytes checked.\n"},
                 {Changed(Head(data, 2 * MIB), {MIB + 5}), ESlotVerdict::Differs,
                  "fake:drive0 - 2097152 bytes checked.\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strChecked);
        NextCase();
        CompressedImage(c.image);
        AddDriveWith(0, data);
        const T_ENGINE_RESULT result = Compare(1);
        EXPECT_EQ(result.arrSlots[0].eVerdict, c.eVerdict);
        EXPECT_EQ(Count(c.strChecked), 1u);
        EXPECT_EQ(Count("fake:drive0 - 00100000-001001FF\n"), c.eVerdict == ESlotVerdict::Ok ? 0u : 1u);
        EXPECT_FALSE(Logged("count mismatch"));
        EXPECT_TRUE(FailedRows().empty());
    }
}

// The drive's length is compared (a compressed image's file size says
// nothing of it), and the image is inflated to its end, past the drive's
// length: there its end is checked as every reader checks it, and data it
// holds past the drive fail the drive unless they are zeros or
// force-verify is on. An image that ends before the drive fails it too.
TEST_F(CompressedCompareTest, WhatTheImageHoldsPastTheDriveDecides)
{
    const auto drive = Pattern(2 * MIB, 1);
    auto zeroEnd = drive;
    zeroEnd.resize(3 * MIB);
    const auto dataEnd = Changed(zeroEnd, {3 * MIB - 1});
    const auto good = CompressToMemory(drive);
    auto zeroCrc = good;
    std::fill(zeroCrc.end() - 8, zeroCrc.end() - 4, 0);
    auto garbage = good;
    garbage.push_back('x');
    auto twoMembers = good;
    twoMembers.insert(twoMembers.end(), good.begin(), good.end());
    const ESlotVerdict OK = ESlotVerdict::Ok, DIFFERS = ESlotVerdict::Differs, STOPPED = ESlotVerdict::Stopped;
    const struct {
        std::vector<uint8_t> file;
        bool bForce;
        ESlotVerdict eVerdict;  // the image's own damage stops the run
        std::string strLine;
    } cases[] = {
        {good, false, OK, "  file size=" + std::to_string(good.size()) + " bytes(compressed).\n"},
        {CompressToMemory(zeroEnd), false, OK,
         "fake:drive0 - the image's last 1048576 bytes, past the drive's end, are all zero.\n"},
        {CompressToMemory(dataEnd), false, DIFFERS,
         "fake:drive0 - the image's data go on 1048576 bytes past the drive's end, not all zero.\n"},
        {CompressToMemory(dataEnd), true, OK,
         "fake:drive0 - the image goes on 1048576 bytes past the drive's end; those bytes were not compared.\n"},
        {CompressToMemory(Head(drive, 3 * MIB / 2)), false, DIFFERS,
         "fake:drive0 - the image's data end at 1572864 bytes; the drive has 2097152 bytes.\n"},
        {zeroCrc, false, STOPPED, "the compressed data are damaged, or are not a gzip stream.\n"},
        {garbage, false, STOPPED, "the compressed data are damaged, or are not a gzip stream.\n"},
        {Head(good, good.size() - 4), false, STOPPED, "the compressed data end too soon (the file is cut short).\n"},
        {twoMembers, false, STOPPED, "the image has more than one gzip member, which is not supported.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strLine);
        NextCase();
        AddImage(c.file);
        m_options.bCompressImage = true;
        m_options.bForceVerify = c.bForce;
        AddDriveWith(0, drive);
        const T_ENGINE_RESULT result = Compare(1);
        const bool bOk = c.eVerdict == OK;
        EXPECT_EQ(result.bOk, bOk);
        EXPECT_EQ(result.arrSlots[0].eVerdict, c.eVerdict);
        EXPECT_TRUE(Logged(c.strLine));
        EXPECT_EQ(Count("fake:drive0 - 2097152 bytes checked.\n"), bOk ? 1u : 0u);
        EXPECT_EQ(FailedRows(), bOk ? std::vector<int64_t>{} : std::vector<int64_t>{ROWS[0]});
    }
}

TEST_F(CompressedCompareTest, ABrokenStreamEndsTheWholeRun)
{
    const auto data = Pattern(6 * MIB, 1);
    const auto file = CompressToMemory(data);
    AddImage(Head(file, file.size() / 2));
    m_options.bCompressImage = true;
    AddDriveWith(0, data);
    AddDriveWith(1, data);
    const T_ENGINE_RESULT result = Compare(2);
    EXPECT_FALSE(result.bOk);
    EXPECT_NE(result.dwError, 0u);
    EXPECT_TRUE(Logged("file compress read error ("));
    EXPECT_FALSE(Logged("bytes checked"));
    for (const T_SLOT_RESULT& slot : result.arrSlots) EXPECT_EQ(slot.eVerdict, ESlotVerdict::Stopped);
    ExpectAllClosed();
}

}  // namespace
}  // namespace engine_test
