// The length a job writes: raw images whose size differs from a drive's,
// with and without force-write; compressed images, whose length shows only
// while they are inflated, shorter or longer than the drive; zeros past
// the drives' end; and damaged compressed images.
#include "tests/engine/engine_rig.h"

namespace engine_test {
namespace {

const uint32_t FORCED_WORD = ComposeLogWord(3);
const uint32_t ERROR_WORD = ComposeLogWord(LOG_STYLE_ERROR);

TEST_F(WriteTest, ARawImageOfAnotherSizeIsRefusedWithoutForceWriteAndWrittenWithIt)
{
    for (const bool bForce : {false, true}) {
        for (const uint64_t nImage : {4 * MIB, 9 * MIB}) {
            const std::string strLine = nImage < 6 * MIB ? "image size mismatch.\n" : "image file size too large.\n";
            SCOPED_TRACE(strLine + (bForce ? "forced" : "not forced"));
            NextCase();
            m_options.bForceWrite = bForce;
            const auto image = RawImage(nImage);
            const auto old0 = AddDrive(0, 6 * MIB)->Contents();
            AddDrive(1, 8 * MIB);
            EXPECT_EQ(Write(2).bOk, bForce);
            EXPECT_EQ(Count(strLine), 2u);
            EXPECT_EQ(WordOf(strLine), bForce ? FORCED_WORD : ERROR_WORD);
            const auto& contents = m_drives[0]->Contents();
            if (!bForce) {
                EXPECT_EQ(contents, old0);
                EXPECT_FALSE(Logged("bytes wrote"));
            } else if (nImage < 6 * MIB) {  // written whole, the rest of the drive left as it was
                EXPECT_TRUE(SameRange(contents, image, 0, nImage));
                EXPECT_TRUE(SameRange(contents, old0, nImage, 6 * MIB));
                EXPECT_EQ(Count("fake:drive1 - 4194304 bytes wrote.\n"), 1u);
            } else {  // as much as the smaller drive holds
                EXPECT_EQ(contents, Head(image, 6 * MIB));
                EXPECT_EQ(Count("fake:drive1 - 6291456 bytes wrote.\n"), 1u);
            }
            ExpectAllClosed();
        }
    }
}

// A forced write of a longer image: the digest covers what was written.
TEST_F(WriteTest, TheDigestOfALargerImageCoversWhatFitsTheDrive)
{
    m_options.bForceWrite = true;
    m_options.bMD5Verify = true;
    const auto head = Head(RawImage(5 * MIB + 77), 3 * MIB);
    AddDrive(0, 3 * MIB);
    const T_ENGINE_RESULT result = Write(1);
    ASSERT_TRUE(result.bOk);
    EXPECT_EQ(m_drives[0]->Contents(), head);
    EXPECT_EQ(Count("IMAGE MD5SUM=" + Md5Of(head) + "\n"), 1u);
    EXPECT_EQ(Count("fake:drive0 MD5SUM=" + Md5Of(head) + "\n"), 1u);
    EXPECT_TRUE(result.DigestMatches(0));
}

TEST_F(WriteTest, ACompressedImageOfTheDrivesSizeIsWrittenWhole)
{
    const auto data = Pattern(3 * MIB + 4096, 9);
    CompressedImage(data);
    AddDrive(0, data.size());
    AddDrive(1, data.size());
    ASSERT_TRUE(Write(2).bOk);
    EXPECT_EQ(m_drives[0]->Contents(), data);
    EXPECT_EQ(m_drives[1]->Contents(), data);
    EXPECT_EQ(Count("  file size=" + std::to_string(m_pImage->Contents().size()) + " bytes(compressed).\n"), 2u);
    EXPECT_FALSE(Logged("mismatch"));
    EXPECT_FALSE(Logged("too large"));
}

TEST_F(WriteTest, ACompressedImageThatEndsBeforeTheDriveNeedsForceWrite)
{
    const auto data = Pattern(2 * MIB + 300, 9);
    for (const bool bForce : {true, false}) {
        SCOPED_TRACE(bForce ? "force write" : "no force write");
        NextCase();
        m_options.bForceWrite = bForce;
        CompressedImage(data);
        AddDrive(0, 5 * MIB);
        AddDrive(1, 5 * MIB);
        const T_ENGINE_RESULT result = Write(2);
        EXPECT_EQ(result.bOk, bForce);
        EXPECT_EQ(Count("image size mismatch.\n"), 1u);
        EXPECT_EQ(WordOf("image size mismatch.\n"), bForce ? FORCED_WORD : ERROR_WORD);
        EXPECT_EQ(Count("  image data size=2097452 bytes.\n"), 1u);
        for (int i : {0, 1}) {
            EXPECT_TRUE(SameRange(m_drives[i]->Contents(), data, 0, data.size())) << i;
            EXPECT_EQ(result.arrSlots[i].eVerdict, bForce ? ESlotVerdict::Ok : ESlotVerdict::WriteFailed) << i;
            EXPECT_EQ(Count(Drive(i) + " - 2097452 bytes wrote.\n"), bForce ? 1u : 0u);
            EXPECT_EQ(Count(Drive(i) + " - the write failed after 2097452 bytes; the drive was changed.\n"),
                      bForce ? 0u : 1u);
        }
        auto rows = FailedRows();
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, (bForce ? std::vector<int64_t>{} : std::vector<int64_t>{ROWS[1], ROWS[0]}));
        ExpectAllClosed();
    }
}

// The image is inflated to its end: zeros past the drive's end are left
// out with a warning; anything else needs force-write. Only an image
// delivered in full has a digest to check against.
TEST_F(WriteTest, ACompressedImageLongerThanTheDriveNeedsForceWriteUnlessItsEndIsZero)
{
    const auto data = Pattern(5 * MIB, 9);
    auto zeroEnd = data;
    std::fill(zeroEnd.begin() + 3 * MIB, zeroEnd.end(), 0);
    for (const bool bZeroEnd : {false, true}) {
        for (const bool bForce : {true, false}) {
            SCOPED_TRACE(std::string(bZeroEnd ? "zero end, " : "data end, ") + (bForce ? "force write" : "no force"));
            NextCase();
            m_options.bForceWrite = bForce;
            m_options.bMD5Verify = true;
            CompressedImage(bZeroEnd ? zeroEnd : data);
            AddDrive(0, 3 * MIB);
            const bool bOk = bForce || bZeroEnd;
            const T_ENGINE_RESULT result = Write(1);
            EXPECT_EQ(result.bOk, bOk);
            EXPECT_EQ(result.arrSlots[0].Ok(), bOk);
            const std::string strLine = bZeroEnd ? "the image's last 2097152 bytes, past the 3145728 written, are all "
                                                   "zero; they are not written.\n"
                                                 : "the image's data go on past the 3145728 bytes written: 2097152 "
                                                   "more bytes, not all zero, did not fit.\n";
            EXPECT_EQ(Count(strLine), 1u);
            EXPECT_EQ(WordOf(strLine), bZeroEnd ? ComposeLogWord(LOG_STYLE_WARNING) : bForce ? FORCED_WORD : ERROR_WORD);
            EXPECT_EQ(Count("image file size too large.\n"), bZeroEnd ? 0u : 1u);
            EXPECT_EQ(m_drives[0]->Contents(), Head(data, 3 * MIB));
            EXPECT_EQ(Logged("IMAGE MD5SUM=" + Md5Of(Head(data, 3 * MIB))), bOk);
            EXPECT_EQ(result.DigestMatches(0), bOk);
        }
    }
}

// A raw image longer than drives all of one size, zero past their end, is
// written with a warning. Drives of two sizes would leave the larger one
// without bytes it can hold: refused as before.
TEST_F(WriteTest, ARawImageWhoseEndIsZeroFitsDrivesOfOneSize)
{
    std::vector<uint8_t> image = Pattern(9 * MIB, 7);
    std::fill(image.begin() + 6 * MIB, image.end(), 0);
    for (const uint64_t nSecond : {6 * MIB, 8 * MIB}) {
        const bool bOneSize = nSecond == 6 * MIB;
        SCOPED_TRACE(bOneSize ? "one size" : "two sizes");
        NextCase();
        AddImage(image);
        const auto old = AddDrive(0, 6 * MIB)->Contents();
        AddDrive(1, nSecond);
        EXPECT_EQ(Write(2).bOk, bOneSize);
        EXPECT_EQ(Count("the image's last 3145728 bytes do not fit on the drive; they are all zero and are not "
                        "written.\n"),
                  bOneSize ? 1u : 0u);
        EXPECT_EQ(Count("image file size too large.\n"), bOneSize ? 0u : 2u);
        EXPECT_EQ(m_drives[0]->Contents(), bOneSize ? Head(image, 6 * MIB) : old);
        ExpectAllClosed();
    }
}

// Not even force-write takes a damaged image; it fails once, with no
// retries and no digest.
TEST_F(WriteTest, ADamagedCompressedImageFailsCleanly)
{
    const auto data = Pattern(6 * MIB, 9);
    const auto good = CompressToMemory(data);
    auto flipped = good;
    for (size_t i = good.size() / 2; i < good.size() / 2 + 64; ++i) flipped[i] ^= 0x5A;
    auto badTrailer = good;
    badTrailer[badTrailer.size() - 6] ^= 1;  // the CRC-32
    for (const auto& image : {flipped, Head(good, good.size() / 2), badTrailer, data}) {
        NextCase();
        m_options = T_JOB_OPTIONS{};
        m_options.bCompressImage = m_options.bForceWrite = m_options.bMD5Verify = true;
        AddImage(image);
        AddDrive(0, data.size());
        AddDrive(1, data.size());
        const T_ENGINE_RESULT result = Write(2);
        EXPECT_FALSE(result.bOk);
        EXPECT_NE(result.arrSlots[0].eVerdict, ESlotVerdict::Ok);
        EXPECT_EQ(LinesWith("file compress read error (").size(), 1u);
        EXPECT_FALSE(Logged("IMAGE MD5SUM="));
        EXPECT_FALSE(Logged("retry out"));
        EXPECT_FALSE(result.DigestMatches(0));
        ExpectAllClosed();
    }
}

}  // namespace
}  // namespace engine_test
