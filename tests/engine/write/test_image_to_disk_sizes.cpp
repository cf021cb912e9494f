// The length a job writes: raw images whose size differs from a drive's,
// with and without force-write; compressed images, whose length shows only
// while they are inflated, shorter or longer than the drive; and damaged
// compressed images.
#include "tests/engine/write/image_to_disk_fixture.h"

namespace {

const uint32_t FORCED_WORD = ComposeLogWord(3);
const uint32_t ERROR_WORD = ComposeLogWord(LOG_STYLE_ERROR);

TEST_F(ImageToDiskTest, ARawImageOfAnotherSizeIsRefusedWithoutForceWrite)
{
    struct T_CASE {
        uint64_t nImage;
        std::string strLine;
    };
    for (const T_CASE& c : {T_CASE{4 * MIB, "image size mismatch.\n"}, T_CASE{9 * MIB, "image file size too large.\n"}}) {
        SCOPED_TRACE(c.strLine);
        m_recorder.Clear();
        m_targets.clear();
        CImageToDisk engine;
        Wire(engine);
        RawImage(c.nImage);
        const auto old0 = AddTarget(0, 6 * MIB)->Contents();
        const auto old1 = AddTarget(1, 8 * MIB)->Contents();
        const std::string paths[] = {Target(0), Target(1)};
        EXPECT_FALSE(engine.Run(2, paths, FAKE_IMAGE, 16));
        EXPECT_EQ(m_recorder.CountLines(c.strLine), 2u);
        EXPECT_EQ(WordOf(c.strLine), ERROR_WORD);
        EXPECT_EQ(m_targets[0]->Contents(), old0);
        EXPECT_EQ(m_targets[1]->Contents(), old1);
        EXPECT_FALSE(Logged("bytes wrote"));
        ExpectAllClosed();
    }
}

TEST_F(ImageToDiskTest, WithForceWriteASmallerRawImageIsWrittenWhole)
{
    g_bOptForceWrite = true;
    const auto image = RawImage(4 * MIB);
    const auto old0 = AddTarget(0, 6 * MIB)->Contents();
    const auto old1 = AddTarget(1, 8 * MIB)->Contents();
    ASSERT_TRUE(RunWrite(2));
    EXPECT_EQ(m_recorder.CountLines("image size mismatch.\n"), 2u);
    EXPECT_EQ(WordOf("image size mismatch.\n"), FORCED_WORD);
    for (int i : {0, 1}) {
        const auto& contents = m_targets[i]->Contents();
        EXPECT_TRUE(std::equal(image.begin(), image.end(), contents.begin())) << i;
        const auto& old = i == 0 ? old0 : old1;
        EXPECT_TRUE(std::equal(contents.begin() + 4 * MIB, contents.end(), old.begin() + 4 * MIB)) << i;
        EXPECT_EQ(m_recorder.CountLines(Target(i) + " - 4194304 bytes wrote.\n"), 1u);
    }
}

TEST_F(ImageToDiskTest, WithForceWriteALargerRawImageFillsTheDriveAndItsDigestCoversThat)
{
    g_bOptForceWrite = true;
    g_bOptMD5Verify = true;
    const auto image = RawImage(5 * MIB + 77);
    AddTarget(0, 3 * MIB);
    ASSERT_TRUE(RunWrite(1));
    EXPECT_EQ(m_recorder.CountLines("image file size too large.\n"), 1u);
    EXPECT_EQ(WordOf("image file size too large.\n"), FORCED_WORD);
    const auto head = Head(image, 3 * MIB);
    EXPECT_EQ(m_targets[0]->Contents(), head);
    EXPECT_EQ(m_recorder.CountLines("IMAGE MD5SUM=" + Md5Of(head) + "\n"), 1u);
    EXPECT_EQ(m_recorder.CountLines("fake:target0 MD5SUM=" + Md5Of(head) + "\n"), 1u);
    EXPECT_TRUE(m_engine.m_Task[0].bMd5Match);
}

TEST_F(ImageToDiskTest, ACompressedImageOfTheDrivesSizeIsWrittenWhole)
{
    const auto data = Pattern(3 * MIB + 4096, 9);
    CompressedImage(data);
    AddTarget(0, data.size());
    AddTarget(1, data.size());
    ASSERT_TRUE(RunWrite(2));
    EXPECT_EQ(m_targets[0]->Contents(), data);
    EXPECT_EQ(m_targets[1]->Contents(), data);
    EXPECT_EQ(m_recorder.CountLines("  file size=" + std::to_string(m_pImage->Contents().size()) +
                                    " bytes(compressed).\n"),
              2u);
    EXPECT_FALSE(Logged("mismatch"));
    EXPECT_FALSE(Logged("too large"));
}

TEST_F(ImageToDiskTest, ACompressedImageThatEndsBeforeTheDriveNeedsForceWrite)
{
    const auto data = Pattern(2 * MIB + 300, 9);
    for (bool bForce : {true, false}) {
        SCOPED_TRACE(bForce ? "force write" : "no force write");
        m_recorder.Clear();
        m_targets.clear();
        CImageToDisk engine;
        Wire(engine);
        g_bOptForceWrite = bForce;
        CompressedImage(data);
        AddTarget(0, 5 * MIB);
        AddTarget(1, 5 * MIB);
        const std::string paths[] = {Target(0), Target(1)};
        EXPECT_EQ(engine.Run(2, paths, FAKE_IMAGE, 16), bForce);
        EXPECT_EQ(m_recorder.CountLines("image size mismatch.\n"), 1u);
        EXPECT_EQ(WordOf("image size mismatch.\n"), bForce ? FORCED_WORD : ERROR_WORD);
        EXPECT_EQ(m_recorder.CountLines("  image data size=2097452 bytes.\n"), 1u);
        for (int i : {0, 1}) {
            const auto& contents = m_targets[i]->Contents();
            EXPECT_TRUE(std::equal(data.begin(), data.end(), contents.begin())) << i;
            EXPECT_EQ(engine.m_Task[i].bResult, bForce) << i;
            EXPECT_EQ(m_recorder.CountLines(Target(i) + " - 2097452 bytes wrote.\n"), bForce ? 1u : 0u);
            EXPECT_EQ(m_recorder.CountLines(Target(i) + " - the write failed after 2097452 bytes; the drive was "
                                                        "changed.\n"),
                      bForce ? 0u : 1u);
        }
        if (bForce) {
            EXPECT_TRUE(ErrorRows().empty());
        } else {
            auto rows = ErrorRows();
            std::sort(rows.begin(), rows.end());
            EXPECT_EQ(rows, (std::vector<int64_t>{ROWS[1], ROWS[0]}));  // rows 0 and 2, sorted
        }
        ExpectAllClosed();
    }
}

// The image is inflated to its end: zeros past the drive's end are left
// out with a warning; anything else needs force-write.
TEST_F(ImageToDiskTest, ACompressedImageLongerThanTheDriveNeedsForceWriteUnlessItsEndIsZero)
{
    const auto data = Pattern(5 * MIB, 9);
    auto zeroEnd = data;
    std::fill(zeroEnd.begin() + 3 * MIB, zeroEnd.end(), 0);
    for (bool bZeroEnd : {false, true}) {
        for (bool bForce : {true, false}) {
            SCOPED_TRACE(std::string(bZeroEnd ? "zero end, " : "data end, ") + (bForce ? "force write" : "no force"));
            m_recorder.Clear();
            m_targets.clear();
            CImageToDisk engine;
            Wire(engine);
            g_bOptForceWrite = bForce;
            g_bOptMD5Verify = true;
            CompressedImage(bZeroEnd ? zeroEnd : data);
            AddTarget(0, 3 * MIB);
            const std::string paths[] = {Target(0)};
            const bool bOk = bForce || bZeroEnd;
            EXPECT_EQ(engine.Run(1, paths, FAKE_IMAGE, 16), bOk);
            EXPECT_EQ(engine.m_bReaderResult, bOk);
            const std::string strLine = bZeroEnd ? "the image's last 2097152 bytes, past the 3145728 written, are all "
                                                   "zero; they are not written.\n"
                                                 : "the image's data go on past the 3145728 bytes written: 2097152 "
                                                   "more bytes, not all zero, did not fit.\n";
            EXPECT_EQ(m_recorder.CountLines(strLine), 1u);
            const uint32_t nWord = bForce ? FORCED_WORD : ERROR_WORD;
            EXPECT_EQ(WordOf(strLine), bZeroEnd ? ComposeLogWord(LOG_STYLE_WARNING) : nWord);
            EXPECT_EQ(m_recorder.CountLines("image file size too large.\n"), bZeroEnd ? 0u : 1u);
            EXPECT_EQ(m_targets[0]->Contents(), Head(data, 3 * MIB));
            // Only an image delivered in full has a digest to check against.
            EXPECT_EQ(Logged("IMAGE MD5SUM=" + Md5Of(Head(data, 3 * MIB))), bOk);
            EXPECT_EQ(engine.m_Task[0].bMd5Match, bOk);
        }
    }
}

// A raw image longer than targets all of one size, zero past their end, is
// written with a warning. Targets of two sizes would leave the larger one
// without bytes it can hold: refused as before.
TEST_F(ImageToDiskTest, ARawImageWhoseEndIsZeroFitsTargetsOfOneSize)
{
    std::vector<uint8_t> image = Pattern(9 * MIB, 7);
    std::fill(image.begin() + 6 * MIB, image.end(), 0);
    for (uint64_t nSecond : {6 * MIB, 8 * MIB}) {
        const bool bOneSize = nSecond == 6 * MIB;
        SCOPED_TRACE(bOneSize ? "one size" : "two sizes");
        m_recorder.Clear();
        m_targets.clear();
        CImageToDisk engine;
        Wire(engine);
        AddImageFile(image);
        const auto old = AddTarget(0, 6 * MIB)->Contents();
        AddTarget(1, nSecond);
        const std::string paths[] = {Target(0), Target(1)};
        EXPECT_EQ(engine.Run(2, paths, FAKE_IMAGE, 16), bOneSize);
        EXPECT_EQ(m_recorder.CountLines("the image's last 3145728 bytes do not fit on the drive; they are all zero and "
                                        "are not written.\n"),
                  bOneSize ? 1u : 0u);
        EXPECT_EQ(m_recorder.CountLines("image file size too large.\n"), bOneSize ? 0u : 2u);
        EXPECT_EQ(m_targets[0]->Contents(), bOneSize ? Head(image, 6 * MIB) : old);
        ExpectAllClosed();
    }
}

TEST_F(ImageToDiskTest, ADamagedCompressedImageFailsCleanly)
{
    const auto data = Pattern(6 * MIB, 9);
    const auto good = Compress(data);
    struct T_CASE {
        const char* pName;
        std::vector<uint8_t> image;
    };
    auto flipped = good;
    for (size_t i = good.size() / 2; i < good.size() / 2 + 64; ++i) flipped[i] ^= 0x5A;
    auto badTrailer = good;
    badTrailer[badTrailer.size() - 6] ^= 1;  // the CRC-32
    const T_CASE cases[] = {
        {"damaged in the middle", flipped},
        {"cut short", Head(good, good.size() / 2)},
        {"wrong check value", badTrailer},
        {"not compressed at all", data},
    };
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.pName);
        m_recorder.Clear();
        m_targets.clear();
        CImageToDisk engine;
        Wire(engine);
        g_bOptCompressImage = true;
        g_bOptForceWrite = true;  // not even force-write takes a damaged image
        g_bOptMD5Verify = true;
        AddImageFile(c.image);
        AddTarget(0, data.size());
        AddTarget(1, data.size());
        const std::string paths[] = {Target(0), Target(1)};
        EXPECT_FALSE(engine.Run(2, paths, FAKE_IMAGE, 16));
        EXPECT_FALSE(engine.m_bReaderResult);
        EXPECT_EQ(m_recorder.LogText().find("file compress read error ("), m_recorder.LogText().rfind("file compress read error ("));
        EXPECT_TRUE(Logged("file compress read error ("));
        EXPECT_FALSE(Logged("IMAGE MD5SUM="));
        EXPECT_FALSE(Logged("retry out"));
        EXPECT_FALSE(engine.m_Task[0].bMd5Match);
        ExpectAllClosed();
    }
}

}  // namespace
