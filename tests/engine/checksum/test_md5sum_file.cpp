// The .md5sum file: a name with a carriage return, what reading takes for
// a digest and what it makes of a file without a line end or one that
// cannot be read, and a write that fails half-way.
#include <gtest/gtest.h>

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

}  // namespace
