// The compare engine with compressed images: the drive's length decides,
// the image is read to its end past it, an image that ends before the
// drive fails it unless force-verify asks to compare what both have, and
// a broken stream ends the whole run.
#include "tests/engine/engine_rig.h"

namespace engine_test {
namespace {

class CompressedCompareTest : public CompareTest {
protected:
    void SetUp() override
    {
        if (!CZLIBIO().IsLoaded()) GTEST_SKIP() << "no zlib library here";
    }
};

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
        uint64_t nChecked = 2 * MIB;  // with force-verify, what both have
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
        {CompressToMemory(Head(drive, 3 * MIB / 2)), true, OK, "fake:drive0 - 1572864 bytes checked.\n", 3 * MIB / 2},
        {CompressToMemory(Changed(Head(drive, MIB), {MIB / 2})), true, DIFFERS, "fake:drive0 - 00080000-000801FF\n", MIB},
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
        const bool bCounted = bOk || (c.bForce && c.eVerdict == DIFFERS);
        EXPECT_EQ(Count("fake:drive0 - " + std::to_string(c.nChecked) + " bytes checked.\n"), bCounted ? 1u : 0u);
        EXPECT_FALSE(Logged("count mismatch"));
        EXPECT_EQ(FailedRows(), bCounted ? std::vector<int64_t>{} : std::vector<int64_t>{ROWS[0]});
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
