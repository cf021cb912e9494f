// The length a job writes: raw images whose size differs from a drive's,
// with and without force-write; compressed images, whose length shows only
// while they are inflated, shorter or longer than the drive; zeros past
// the drives' end; and damaged compressed images.
#include "tests/engine/engine_rig.h"

namespace engine_test {
namespace {

const uint32_t FORCED_WORD = ComposeLogWord(3);
const uint32_t ERROR_WORD = ComposeLogWord(LOG_STYLE_ERROR);
const uint32_t WARNING_WORD = ComposeLogWord(LOG_STYLE_WARNING);

struct T_LINE {
    std::string strText;
    size_t nTimes;
    uint32_t dwWord = 0;  // 0: its style is not checked
};

// One table across raw and compressed images, shorter and longer than the
// drives, with and without force-write, the MD5 check on: the verdict, the
// lines with their styles, and what drive 0 holds (the image's first
// nWritten bytes, then its old data). A good run's digest covers what was
// written. "{zsize}" stands for the compressed file's size.
TEST_F(WriteTest, TheLengthWrittenFollowsTheImageTheDrivesAndForceWrite)
{
    const auto raw9 = Pattern(9 * MIB, 7), small = Pattern(2 * MIB + 300, 9), big = Pattern(5 * MIB, 9);
    auto rawZeroEnd = raw9, bigZeroEnd = big;
    std::fill(rawZeroEnd.begin() + 6 * MIB, rawZeroEnd.end(), 0);
    std::fill(bigZeroEnd.begin() + 3 * MIB, bigZeroEnd.end(), 0);
    const std::string strMismatch = "image size mismatch.\n", strLarge = "image file size too large.\n";
    const std::string strZeroRaw = "the image's last 3145728 bytes do not fit on the drive; they are all zero and "
                                   "are not written.\n";
    const std::string strZeroEnd = "the image's last 2097152 bytes, past the 3145728 written, are all zero; they "
                                   "are not written.\n";
    const std::string strDataEnd = "the image's data go on past the 3145728 bytes written: 2097152 more bytes, not "
                                   "all zero, did not fit.\n";
    const std::string strFailed = " - the write failed after 2097452 bytes; the drive was changed.\n";
    const struct {
        const char* pName;
        bool bCompressed;
        std::vector<uint8_t> image;  // its data
        uint64_t nDrive0, nDrive1;   // nDrive1 0: one drive
        bool bForce, bOk;
        uint64_t nWritten;
        std::vector<T_LINE> lines;
        std::vector<int64_t> posted = {};  // the rows posted as failed, in order
    } cases[] = {
        {"raw shorter", false, Head(raw9, 4 * MIB), 6 * MIB, 8 * MIB, false, false, 0,
         {{strMismatch, 2, ERROR_WORD}, {"bytes wrote", 0}}},
        {"raw shorter, forced", false, Head(raw9, 4 * MIB), 6 * MIB, 8 * MIB, true, true, 4 * MIB,
         {{strMismatch, 2, FORCED_WORD}, {"fake:drive1 - 4194304 bytes wrote.\n", 1}}},
        {"raw longer", false, raw9, 6 * MIB, 8 * MIB, false, false, 0, {{strLarge, 2, ERROR_WORD}, {"bytes wrote", 0}}},
        {"raw longer, forced", false, raw9, 6 * MIB, 8 * MIB, true, true, 6 * MIB,
         {{strLarge, 2, FORCED_WORD}, {"fake:drive1 - 6291456 bytes wrote.\n", 1}}},
        {"raw zero end, one size", false, rawZeroEnd, 6 * MIB, 6 * MIB, false, true, 6 * MIB,
         {{strZeroRaw, 1}, {strLarge, 0}}},
        {"raw zero end, two sizes", false, rawZeroEnd, 6 * MIB, 8 * MIB, false, false, 0,
         {{strZeroRaw, 0}, {strLarge, 2}}},
        {"compressed, same size", true, Head(big, 3 * MIB + 4096), 3 * MIB + 4096, 3 * MIB + 4096, false, true,
         3 * MIB + 4096,
         {{"  file size={zsize} bytes(compressed).\n", 2}, {strMismatch, 0}, {strLarge, 0}}},
        {"compressed shorter, forced", true, small, 5 * MIB, 5 * MIB, true, true, small.size(),
         {{strMismatch, 1, FORCED_WORD}, {"  image data size=2097452 bytes.\n", 1},
          {"fake:drive0 - 2097452 bytes wrote.\n", 1}, {"fake:drive1 - 2097452 bytes wrote.\n", 1}}},
        {"compressed shorter", true, small, 5 * MIB, 5 * MIB, false, false, small.size(),
         {{strMismatch, 1, ERROR_WORD}, {"fake:drive0" + strFailed, 1}, {"fake:drive1" + strFailed, 1},
          {"IMAGE MD5SUM=" + Md5Of(small) + "\n", 1}, {"bytes wrote", 0}},
         {ROWS[1], ROWS[0]}},
        {"compressed longer, forced", true, big, 3 * MIB, 0, true, true, 3 * MIB,
         {{strDataEnd, 1, FORCED_WORD}, {strLarge, 1}}},
        {"compressed longer", true, big, 3 * MIB, 0, false, false, 3 * MIB, {{strDataEnd, 1, ERROR_WORD}, {strLarge, 1}, {"IMAGE MD5SUM=", 0}}},
        {"compressed zero end", true, bigZeroEnd, 3 * MIB, 0, false, true, 3 * MIB,
         {{strZeroEnd, 1, WARNING_WORD}, {strLarge, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pName);
        NextCase();
        m_options = T_JOB_OPTIONS{};
        m_options.bForceWrite = c.bForce;
        m_options.bMD5Verify = true;
        if (c.bCompressed) CompressedImage(c.image);
        else AddImage(c.image);
        const auto old = AddDrive(0, c.nDrive0)->Contents();
        if (c.nDrive1) AddDrive(1, c.nDrive1);
        const int nDrives = c.nDrive1 ? 2 : 1;
        const T_ENGINE_RESULT result = Write(nDrives);
        EXPECT_EQ(result.bOk, c.bOk);
        for (const T_LINE& line : c.lines) {
            std::string strText = line.strText;
            if (const size_t n = strText.find("{zsize}"); n != std::string::npos)
                strText.replace(n, 7, std::to_string(m_pImage->Contents().size()));
            EXPECT_EQ(line.nTimes || strText.back() == '\n' ? Count(strText) : Logged(strText), line.nTimes) << strText;
            EXPECT_TRUE(!line.dwWord || WordOf(strText) == line.dwWord) << strText;
        }
        for (int i = 0; i < nDrives; ++i) {
            EXPECT_EQ(result.arrSlots[i].Ok(), c.bOk) << i;
            EXPECT_EQ(result.DigestMatches(i), c.bOk) << i;
        }
        EXPECT_TRUE(SameRange(m_drives[0]->Contents(), c.image, 0, c.nWritten));
        EXPECT_TRUE(SameRange(m_drives[0]->Contents(), old, c.nWritten, c.nDrive0));
        EXPECT_TRUE(!c.bOk || Count("IMAGE MD5SUM=" + Md5Of(Head(c.image, c.nWritten)) + "\n") == 1);
        auto rows = FailedRows();
        std::sort(rows.begin(), rows.end());
        EXPECT_EQ(rows, c.posted);
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
