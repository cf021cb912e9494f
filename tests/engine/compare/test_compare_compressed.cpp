// The compare engine with compressed images: the drive's length decides,
// an image that ends before the drive fails it unless force-verify asks to
// compare what both have, and a broken stream ends the whole run.
#include <filesystem>

#include "tests/engine/compare/compare_fixture.h"

namespace {

class CompareCompressedTest : public CompareDiskImageTest {
protected:
    void SetUp() override
    {
        CompareDiskImageTest::SetUp();
        g_bOptCompressImage = true;
        if (!CZLIBIO().IsLoaded()) GTEST_SKIP() << "no zlib library here";
    }

    std::vector<uint8_t> Head(const std::shared_ptr<CFakeDisk>& pDisk, uint64_t nLength)
    {
        return std::vector<uint8_t>(pDisk->Contents().begin(), pDisk->Contents().begin() + nLength);
    }
};

TEST_F(CompareCompressedTest, ACompressedImageOfTheDrivesBytesIsEqual)
{
    auto pDisk = CFakeDisk::WithPattern(3 * MIB + 333);
    const std::string strImage = CompressedImage(pDisk->Contents());
    const auto nFileSize = std::filesystem::file_size(strImage);
    ASSERT_TRUE(Compare({pDisk}, strImage));
    EXPECT_EQ(m_recorder.CountLines("  file size=" + std::to_string(nFileSize) + " bytes(compressed).\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 3146061 bytes checked.\n"), 1u);
    EXPECT_TRUE(FailedRows().empty());
}

TEST_F(CompareCompressedTest, WithForceVerifyTheCommonLengthIsComparedAndCounted)
{
    g_bOptForceVerify = true;
    auto pDisk = CFakeDisk::WithPattern(3 * MIB);
    ASSERT_TRUE(Compare({pDisk}, CompressedImage(Head(pDisk, 5 * MIB / 2))));
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 2621440 bytes checked.\n"), 1u);
    EXPECT_EQ(m_recorder.LogText().find("count mismatch"), std::string::npos);
    EXPECT_TRUE(FailedRows().empty());

    // An image that ends on a block boundary ends the comparison there, and
    // differences in the common part still count.
    m_recorder.Clear();
    std::filesystem::remove(m_dir.File("image.gmz"));
    auto head = Head(pDisk, 2 * MIB);
    head[MIB + 5] ^= 1;
    CCompareDiskImage engine;
    engine.m_pDevices = &m_devices;
    engine.m_hNotifyWnd = &m_recorder;
    engine.m_uProgressMsg = WM_ENGINE_PROGRESS;
    engine.m_uErrorMsg = WM_USER_ERROR;
    const std::vector<std::string> paths = {Drive(0)};
    EXPECT_FALSE(engine.Run(paths, CompressedImage(head), 16));
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 00100000-001001FF\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 2097152 bytes checked.\n"), 1u);
    EXPECT_TRUE(FailedRows().empty());
}

// The image is inflated to its end, past the drive's length: there its
// end is checked as every reader checks it, and data it holds past the
// drive fail the drive unless they are zeros or force-verify is on. An
// image that ends before the drive fails it too.
TEST_F(CompareCompressedTest, WhatTheImageHoldsPastTheDriveDecides)
{
    auto pDisk = CFakeDisk::WithPattern(2 * MIB);
    std::vector<uint8_t> zeroEnd = pDisk->Contents();
    zeroEnd.resize(3 * MIB);
    auto dataEnd = zeroEnd;
    dataEnd.back() = 1;
    const auto good = ReadWholeFile(CompressedImage(pDisk->Contents()));
    auto zeroCrc = good;
    std::fill(zeroCrc.end() - 8, zeroCrc.end() - 4, 0);
    auto garbage = good;
    garbage.push_back('x');
    auto twoMembers = good;
    twoMembers.insert(twoMembers.end(), good.begin(), good.end());
    const struct {
        std::vector<uint8_t> image;
        bool bCompress;
        bool bForce;
        std::string strLine;
    } cases[] = {
        {zeroEnd, true, false, "fake:drive0 - the image's last 1048576 bytes, past the drive's end, are all zero.\n"},
        {dataEnd, true, false,
         "fake:drive0 - the image's data go on 1048576 bytes past the drive's end, not all zero.\n"},
        {dataEnd, true, true, "fake:drive0 - the image goes on 1048576 bytes past the drive's end; those bytes were "
                              "not compared.\n"},
        {Head(pDisk, 3 * MIB / 2), true, false,
         "fake:drive0 - the image's data end at 1572864 bytes; the drive has 2097152 bytes.\n"},
        {zeroCrc, false, false, "the compressed data are damaged, or are not a gzip stream.\n"},
        {garbage, false, false, "the compressed data are damaged, or are not a gzip stream.\n"},
        {{good.begin(), good.end() - 4}, false, false, "the compressed data end too soon (the file is cut short).\n"},
        {twoMembers, false, false, "the image has more than one gzip member, which is not supported.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strLine);
        m_recorder.Clear();
        g_bOptForceVerify = c.bForce;
        const std::string strImage = m_dir.File("case.gmz");
        std::filesystem::remove(m_dir.File("image.gmz"));
        WriteWholeFile(strImage, c.bCompress ? ReadWholeFile(CompressedImage(c.image)) : c.image);
        const bool bOk = c.image == zeroEnd || c.bForce;
        EXPECT_EQ(Compare({pDisk}, strImage), bOk);
        EXPECT_NE(m_recorder.LogText().find(c.strLine), std::string::npos);
        EXPECT_EQ(m_recorder.CountLines("fake:drive0 - 2097152 bytes checked.\n"), bOk ? 1u : 0u);
        EXPECT_EQ(FailedRows(), bOk ? std::vector<int64_t>{} : std::vector<int64_t>{0});
    }
}

TEST_F(CompareCompressedTest, ABrokenStreamEndsTheWholeRun)
{
    auto pOne = CFakeDisk::WithPattern(6 * MIB, 1);
    auto pTwo = std::make_shared<CFakeDisk>(pOne->Contents());
    const std::string strImage = CompressedImage(pOne->Contents());
    auto file = ReadWholeFile(strImage);
    file.resize(file.size() / 2);
    std::filesystem::remove(strImage);
    WriteWholeFile(strImage, file);
    EXPECT_FALSE(Compare({pOne, pTwo}, strImage));
    EXPECT_NE(m_recorder.LogText().find("file compress read error ("), std::string::npos);
    EXPECT_EQ(m_recorder.LogText().find("bytes checked"), std::string::npos);
    EXPECT_FALSE(m_engine.m_fileRead.bSuccess);
    EXPECT_EQ(pOne->OpenCount(), pOne->CloseCount());
    EXPECT_EQ(pTwo->OpenCount(), pTwo->CloseCount());
}

}  // namespace
