// The .md5sum file: the line that is written (name, blank, line end, names
// md5sum -c would misread), what reading makes of every kind of content,
// and a write that fails half-way. Digest files as published: which line
// is the image's, and what is no digest.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/checksum/digest_file.h"
#include "engine/checksum/md5sum_file.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"
#include "tests/support/temp_dir.h"

namespace {

const T_MD5_DIGEST DIGEST = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef,
                             0xfe, 0xdc, 0xba, 0x98, 0x76, 0x54, 0x32, 0x10};
const std::string HEX = "0123456789abcdeffedcba9876543210";

TEST(Md5SumFile, TheLineIsTheDigestOneBlankAndTheNameAsMd5sumReadsIt)
{
    const std::string SEP(1, static_cast<char>(std::filesystem::path::preferred_separator));
    const std::string OTHER = SEP == "/" ? "\\" : "/";
    const std::string E(Md5SumLineEnd());
    const std::pair<std::string, std::string> cases[] = {
        {"img" + SEP + "sub" + SEP + "disk.gmz", HEX + " disk.gmz" + E},
        {"a" + OTHER + "b.gmi", HEX + (SEP == "/" ? " a\\b.gmi" : " b.gmi") + E},  // Windows takes either
        {"a\nb\rc", "\\" + HEX + " a\\nb\\rc" + E},                  // escaped, as md5sum -c reads it
        {"*star", HEX + "  *star" + E},                              // '*' is no mode mark here
    };
    for (const auto& [strImage, strText] : cases) EXPECT_EQ(Md5SumText(DIGEST, strImage), strText) << strImage;
    EXPECT_EQ(Md5SumPathOf("d" + SEP + "disk.gmz"), "d" + SEP + "disk.gmz.md5sum");
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

TEST(Md5SumFile, AWrittenFileReadsBackAsItsDigest)
{
    CTempDir dir;
    const std::string strImage = dir.File("disk.gmz");
    uint32_t nError = 0;
    ASSERT_TRUE(WriteMd5SumFile(GetPlatformDevices(), strImage, DIGEST, nError)) << nError;
    const std::vector<uint8_t> bytes = ReadWholeFile(strImage + ".md5sum");
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), Md5SumText(DIGEST, strImage));
    const T_MD5SUM_FILE file = ReadMd5SumFile(GetPlatformDevices(), strImage);
    EXPECT_TRUE(file.eState == EMd5SumFile::Digest && file.digest == DIGEST);
    EXPECT_EQ(ReadMd5SumFile(GetPlatformDevices(), dir.File("other.gmz")).eState, EMd5SumFile::Missing);
    // A write that fails half-way leaves no half file.
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
        EDeviceKind eKind;
        uint32_t nReadError;
        EMd5SumFile eState;
    } cases[] = {
        {"", EDeviceKind::RegularFile, 0, EMd5SumFile::NoDigest},
        {std::string(4 * 1024 * 1024, 'a'), EDeviceKind::RegularFile, 0, EMd5SumFile::NoDigest},  // no line end
        {HEX + " x\n", EDeviceKind::PipeOrSocket, 0, EMd5SumFile::Unreadable},
        {HEX + " x\n", EDeviceKind::RegularFile, SystemError::IoError(), EMd5SumFile::Unreadable},
    };
    for (const auto& c : cases) {
        auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>(c.strContents.begin(), c.strContents.end()));
        pFile->SetKind(c.eKind);
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
    const std::string A(64, 'a'), B = "0123456789ABCDEF" + std::string(48, 'b'), C(64, 'c');
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
        {std::string(40, 'a') + "  disk.img\n", EDigestFile::NoDigest, ""},  // SHA-1
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
    const std::string strSum = std::string(64, 'a') + "  disk.img\n";
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
