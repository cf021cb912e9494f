// The .md5sum file: the line that is written (name, blank, line end, names
// md5sum -c would misread), what reading makes of every kind of content,
// and a write that fails half-way.
#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
