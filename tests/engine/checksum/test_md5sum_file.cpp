// The .md5sum file: the line that is written (name, blank, line end, the
// names md5sum -c would misread), what reading makes of every kind of
// content, and files that cannot be written or read.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/checksum/md5sum_file.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr char SEP = static_cast<char>(std::filesystem::path::preferred_separator);
constexpr char OTHER_SEP = SEP == '/' ? '\\' : '/';
const T_MD5_DIGEST DIGEST = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                             0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};
const std::string DIGEST_TEXT = "0123456789abcdeffedcba9876543210";

std::string S(const char* pText)
{
    std::string s = pText;
    for (char& c : s) {
        if (c == '|') c = SEP;
        if (c == '~') c = OTHER_SEP;
    }
    return s;
}

TEST(Md5SumFile, TheLineHoldsTheDigestOneBlankAndTheNameAfterTheLastSeparator)
{
    struct T_CASE {
        std::string strImage, strName;
    };
    const T_CASE cases[] = {
        {S("img|sub|disk.gmz"), "disk.gmz"},
        {"disk.gmz", "disk.gmz"},
        {S("|disk"), "disk"},
        {S("a~b|c~d.gmi"), S("c~d.gmi")},  // only the platform's separator counts
        {S("名前|ディスク.gmz"), "ディスク.gmz"},
    };
    for (const T_CASE& c : cases) {
        EXPECT_EQ(Md5SumPathOf(c.strImage), c.strImage + ".md5sum");
        EXPECT_EQ(Md5SumText(DIGEST, c.strImage), DIGEST_TEXT + " " + c.strName + std::string(Md5SumLineEnd()))
            << c.strImage;
    }
}

// md5sum -c reads "\" first on a line as escaped names, and a blank or '*'
// right after the first blank as a mode mark.
TEST(Md5SumFile, NamesThatMd5sumWouldMisreadAreWrittenItsWay)
{
    const std::string strEnd(Md5SumLineEnd());
    EXPECT_EQ(Md5SumText(DIGEST, "a\nb\\c\rd"), "\\" + DIGEST_TEXT + " a\\nb\\\\c\\rd" + strEnd);
    EXPECT_EQ(Md5SumText(DIGEST, "*star"), DIGEST_TEXT + "  *star" + strEnd);
    EXPECT_EQ(Md5SumText(DIGEST, " blank"), DIGEST_TEXT + "   blank" + strEnd);
    EXPECT_EQ(Md5SumText(DIGEST, "back\\slash"), DIGEST_TEXT + " back\\slash" + strEnd);
}

TEST(Md5SumFile, ADigestIsThirtyTwoHexDigitsAtTheStartOfTheLine)
{
    const std::string U = "0123456789ABCDEFFEDCBA9876543210";
    const struct {
        std::string strLine;
        bool bDigest;
    } cases[] = {
        {DIGEST_TEXT + " disk.gmz\n", true},
        {DIGEST_TEXT + "  disk.gmz\r\n", true},
        {U + " *disk.gmz\n", true},
        {"\\" + DIGEST_TEXT + " a\\nb\n", true},
        {DIGEST_TEXT, true},
        {DIGEST_TEXT + "\t", true},
        {"", false},
        {DIGEST_TEXT.substr(0, 31), false},
        {DIGEST_TEXT.substr(0, 31) + "g disk\n", false},
        {DIGEST_TEXT + "0 disk\n", false},  // 33 digits: not an MD5 digest
        {" " + DIGEST_TEXT + " disk\n", false},
        {"0x" + DIGEST_TEXT.substr(2) + " disk\n", false},
        {"\\\\" + DIGEST_TEXT, false},
        {std::string("0123456789abcdef\0edcba9876543210", 32), false},
    };
    for (const auto& c : cases) {
        T_MD5_DIGEST digest{};
        EXPECT_EQ(ParseMd5SumLine(c.strLine, digest), c.bDigest) << c.strLine;
        if (c.bDigest) {
            EXPECT_EQ(digest, DIGEST) << c.strLine;
        }
    }
}

class Md5SumFileIo : public ::testing::Test {
protected:
    // A fake .md5sum file beside the image "fake-image".
    std::shared_ptr<CFakeDisk> FakeSumFile(const std::string& strContents)
    {
        auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>(strContents.begin(), strContents.end()));
        pFile->SetKind(EDeviceKind::RegularFile);
        m_devices.Add("fake-image.md5sum", pFile);
        return pFile;
    }

    CTempDir m_dir;
    CFakeDeviceProvider m_devices;
};

TEST_F(Md5SumFileIo, AWrittenFileReadsBackAsItsDigest)
{
    const std::string strImage = m_dir.File("disk.gmz");
    uint32_t nError = 0;
    ASSERT_TRUE(WriteMd5SumFile(m_devices, strImage, DIGEST, nError)) << nError;
    const std::vector<uint8_t> bytes = ReadWholeFile(strImage + ".md5sum");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), Md5SumText(DIGEST, strImage));
    const T_MD5SUM_FILE file = ReadMd5SumFile(m_devices, strImage);
    EXPECT_EQ(file.eState, EMd5SumFile::Digest);
    EXPECT_EQ(file.digest, DIGEST);
    EXPECT_EQ(ReadMd5SumFile(m_devices, m_dir.File("other.gmz")).eState, EMd5SumFile::Missing);
}

TEST_F(Md5SumFileIo, ContentsThatAreNoDigestSaySoAndOnlyTheFirstBytesAreRead)
{
    const std::string strHuge(4 * 1024 * 1024, 'a');  // hexadecimal, one line, no end
    for (const std::string& strContents : {std::string(), std::string("\n"), strHuge, std::string("not a digest")}) {
        auto pFile = FakeSumFile(strContents);
        EXPECT_EQ(ReadMd5SumFile(m_devices, "fake-image").eState, EMd5SumFile::NoDigest) << strContents.size();
        EXPECT_EQ(pFile->TotalReads(), 1u);
    }
}

TEST_F(Md5SumFileIo, WhatIsNoRegularFileOrCannotBeReadIsUnreadableWithItsReason)
{
    FakeSumFile(DIGEST_TEXT + " x\n")->SetKind(EDeviceKind::PipeOrSocket);
    T_MD5SUM_FILE file = ReadMd5SumFile(m_devices, "fake-image");
    EXPECT_EQ(file.eState, EMd5SumFile::Unreadable);
    EXPECT_NE(file.strReason.find("not a regular file"), std::string::npos) << file.strReason;

    FakeSumFile(DIGEST_TEXT + " x\n")->FailReads(0, 1, SystemError::IoError());
    file = ReadMd5SumFile(m_devices, "fake-image");
    EXPECT_EQ(file.eState, EMd5SumFile::Unreadable);
    EXPECT_EQ(file.strReason, GetSystemErrorText(SystemError::IoError()));

    std::filesystem::create_directory(m_dir.Path() / "folder.gmi.md5sum");
    EXPECT_EQ(ReadMd5SumFile(m_devices, m_dir.File("folder.gmi")).eState, EMd5SumFile::Unreadable);
}

TEST_F(Md5SumFileIo, AFailedWriteLeavesNoHalfFile)
{
    auto pFile = FakeSumFile("");
    pFile->GrowOnWrite();
    pFile->FullAt(10, SystemError::DiskFull());  // 10 bytes go in, then the file system is full
    uint32_t nError = 0;
    EXPECT_FALSE(WriteMd5SumFile(m_devices, "fake-image", DIGEST, nError));
    EXPECT_EQ(nError, SystemError::DiskFull());
    EXPECT_TRUE(pFile->Removed());

    // A folder in the file's place is refused and left alone.
    std::filesystem::create_directory(m_dir.Path() / "folder.gmi.md5sum");
    EXPECT_FALSE(WriteMd5SumFile(m_devices, m_dir.File("folder.gmi"), DIGEST, nError));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir.Path() / "folder.gmi.md5sum"));
}

}  // namespace
