// The .md5sum file: a name with a carriage return, what reading takes for
// a digest and what it makes of a file without a line end or one that
// cannot be read, and a write that fails half-way. Digest files as
// published: which line is the image's, and what is no digest.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/checksum/digest_file.h"
#include "engine/checksum/md5sum_file.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"

namespace {

const T_MD5_DIGEST DIGEST = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                             0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};
const std::string HEX = "0123456789abcdeffedcba9876543210";

// The line names the image alone, escaped where md5sum -c would misread it
// (name, blank, '*', line feed, backslash): tests/e2e/test_checksum_file.sh.
TEST(Md5SumFile, ACarriageReturnInTheNameIsEscapedToo)
{
    EXPECT_EQ(Md5SumText(DIGEST, "a\rb"), "\\" + HEX + " a\\rb" + std::string(Md5SumLineEnd()));
}

TEST(Md5SumFile, ADigestIsThirtyTwoHexDigitsAtTheStartOfTheLine)
{
    const std::pair<std::string, bool> cases[] = {
        {"0123456789ABCDEFFEDCBA9876543210 *disk.gmz\r\n", true},
        {"\\" + HEX + " a\\nb\n", true},
        {HEX, true},
        {HEX.substr(0, 31) + "g disk\n", false},
        {HEX + "0 disk\n", false},  // 33 digits: no MD5 digest
        {" " + HEX + " disk\n", false},
        {std::string("0123456789abcdef\0edcba9876543210", 32), false},
    };
    for (const auto& [strLine, bDigest] : cases) {
        T_MD5_DIGEST digest{};
        EXPECT_EQ(ParseMd5SumLine(strLine, digest), bDigest) << strLine;
        EXPECT_EQ(digest == DIGEST, bDigest) << strLine;
    }
}

// A written file read back, or none: tests/e2e/test_checksum_file.sh.
TEST(Md5SumFile, AWriteThatFailsHalfWayLeavesNoHalfFile)
{
    uint32_t nError = 0;
    auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>{});
    pFile->SetKind(EDeviceKind::RegularFile);
    pFile->GrowOnWrite();
    pFile->FullAt(10, SystemError::DiskFull());
    CFakeDeviceProvider devices;
    devices.Add("fake.md5sum", pFile);
    EXPECT_FALSE(WriteMd5SumFile(devices, "fake", DIGEST, nError));
    EXPECT_EQ(nError, SystemError::DiskFull());
    EXPECT_TRUE(pFile->Removed());
}

TEST(Md5SumFile, ReadingSaysWhatTheFileHoldsFromItsFirstBytesAlone)
{
    const struct {
        std::string strContents;
        uint32_t nReadError;
        EMd5SumFile eState;
    } cases[] = {
        {std::string(4 * 1024 * 1024, 'a'), 0, EMd5SumFile::NoDigest},  // no line end
        {HEX + " x\n", SystemError::IoError(), EMd5SumFile::Unreadable},
    };
    for (const auto& c : cases) {
        auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>(c.strContents.begin(), c.strContents.end()));
        pFile->SetKind(EDeviceKind::RegularFile);
        if (c.nReadError) pFile->FailReads(0, 1, c.nReadError);
        CFakeDeviceProvider devices;
        devices.Add("fake.md5sum", pFile);
        const T_MD5SUM_FILE file = ReadMd5SumFile(devices, "fake");
        EXPECT_EQ(file.eState, c.eState) << c.strContents.size();
        EXPECT_LE(pFile->TotalReads(), 1u);
        EXPECT_EQ(file.strReason.empty(), c.eState != EMd5SumFile::Unreadable) << file.strReason;
    }
}

TEST(DigestFile, TheImagesLineOrTheOnlyLineOrABareDigestIsTakenAndNothingElse)
{
    // Named strings, not temporaries: GCC 12 sees a false bounds fault in
    // a temporary string joined to a literal.
    const std::string A(64, 'a'), B = "0123456789ABCDEF" + std::string(48, 'b'), C(64, 'c'), SHA1(40, 'a');
    const struct {
        std::string strText;
        EDigestFile eState;
        std::string strDigest;  // lower case
    } cases[] = {
        {A + "  disk.img\n", EDigestFile::Digest, A},
        {B + " *other.iso\r\n", EDigestFile::Digest, "0123456789abcdef" + std::string(48, 'b')},  // the only line
        {A + "  a.iso\n" + C + " *disk.img\n\n" + B + "  b.iso\n", EDigestFile::Digest, C},
        {A + "  amd64/a.iso\r\n" + C + "  ./amd64/disk.img\r\n", EDigestFile::Digest, C},
        {A + "  a.iso\n" + C + "  disk.img.zst\n", EDigestFile::NoLineForImage, ""},
        {C + "\r\n", EDigestFile::Digest, C},
        {"\xEF\xBB\xBF" + C, EDigestFile::Digest, C},  // a byte order mark first
        {HEX + " disk.img\n", EDigestFile::Digest, HEX},  // our own .md5sum line
        {A + "  disk.img\nsigned by nobody\n", EDigestFile::NoDigest, ""},
        {"<html><body>Not Found</body></html>\n", EDigestFile::NoDigest, ""},
        {"", EDigestFile::NoDigest, ""},
        {" \r\n\n", EDigestFile::NoDigest, ""},
        {SHA1 + "  disk.img\n", EDigestFile::NoDigest, ""},  // SHA-1
        {A.substr(1) + "\n", EDigestFile::NoDigest, ""},
        {A + "  \n", EDigestFile::Digest, A},
        {A + "x  disk.img\n", EDigestFile::NoDigest, ""},
    };
    for (const auto& c : cases) {
        const T_DIGEST_FILE file = ParseDigestFile(c.strText, "disk.img");
        EXPECT_EQ(file.eState, c.eState) << c.strText;
        if (c.eState != EDigestFile::Digest) continue;
        EXPECT_EQ(DigestText(file.digest), c.strDigest) << c.strText;
        EXPECT_EQ(file.digest.eKind, c.strDigest.size() == 32 ? EDigestKind::Md5 : EDigestKind::Sha256);
    }
}

// Only a regular file is read, and a file far longer than any digest file
// is not taken for one.
TEST(DigestFile, ReadingSaysWhyAFileGivesNoDigest)
{
    const std::string A(64, 'a');
    const std::string strSum = A + "  disk.img\n";
    const struct {
        std::string strContents;
        EDeviceKind eKind;
        uint32_t nReadError;
        EDigestFile eState;
    } cases[] = {
        {strSum, EDeviceKind::RegularFile, 0, EDigestFile::Digest},
        {strSum, EDeviceKind::Directory, 0, EDigestFile::Unreadable},
        {strSum, EDeviceKind::RegularFile, SystemError::IoError(), EDigestFile::Unreadable},
        {strSum + std::string(DIGEST_FILE_READ_LIMIT, '\n'), EDeviceKind::RegularFile, 0, EDigestFile::Unreadable},
    };
    for (const auto& c : cases) {
        auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>(c.strContents.begin(), c.strContents.end()));
        pFile->SetKind(c.eKind);
        if (c.nReadError) pFile->FailReads(0, 1, c.nReadError);
        CFakeDeviceProvider devices;
        devices.Add("sums", pFile);
        const T_DIGEST_FILE file = ReadDigestFile(devices, "sums", "dir/disk.img");
        EXPECT_EQ(file.eState, c.eState) << c.strContents.size();
        EXPECT_EQ(DigestFileProblem(file, "disk.img").empty(), c.eState == EDigestFile::Digest) << file.strReason;
    }
    CFakeDeviceProvider none;
    EXPECT_EQ(ReadDigestFile(none, "sums", "disk.img").eState, EDigestFile::Missing);
}

}  // namespace
