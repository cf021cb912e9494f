// Runs of the checksum command in this process: the .md5sum file's verdict
// and the exit status for a compressed image, and a stop on a slow fake
// image. (Digests and the other verdicts end to end:
// tests/e2e/test_checksum_file.sh.)
#include <gtest/gtest.h>

#include "engine/checksum/md5sum_file.h"
#include "engine/core/md5.h"
#include "tests/cli/cli_run_fixture.h"
#include "tests/engine/zlib/zlib_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using CliChecksumRun = cli_test::CliRunTest;

T_MD5_DIGEST DigestOf(const std::vector<uint8_t>& bytes)
{
    CMd5 md5;
    md5.Update(bytes.data(), bytes.size());
    return md5.Final();
}

// Only the digest of the image's data agrees; the digest of the compressed
// file's own bytes (a plain md5sum of the .gmz) is NG, and NG exits 1.
TEST_F(CliChecksumRun, ACompressedImagesMd5SumFileAgreesOnlyWithTheDigestOfItsData)
{
    CTempDir dir;
    const std::string strImage = dir.File("IMG.gmz");
    const std::vector<uint8_t> data = Prose(cli_test::MIB + 300, 7);
    const std::vector<uint8_t> file = CompressToMemory(data);
    WriteWholeFile(strImage, file);
    T_MD5_DIGEST other = DigestOf(data);
    other[5] ^= 1;
    const std::pair<T_MD5_DIGEST, const char*> cases[] = {
        {DigestOf(data), "OK\n"},
        {DigestOf(file), "NG (it holds the digest of the compressed file itself, not of its data)\n"},
        {other, "NG (it holds "},
    };
    for (const auto& [digest, pszVerdict] : cases) {
        uint32_t nError = 0;
        ASSERT_TRUE(WriteMd5SumFile(m_devices, strImage, digest, nError));
        m_strOut.clear();
        const int nStatus = RunCli({"checksum", "--compress", strImage});
        EXPECT_TRUE(OutHas("IMAGE MD5SUM=" + Md5Text(DigestOf(data)) + "\n")) << m_strOut;
        EXPECT_TRUE(OutHas(strImage + ".md5sum - " + pszVerdict)) << m_strOut;
        EXPECT_EQ(nStatus, &digest == &cases[0].first ? 0 : 1) << m_strOut;
    }
}

TEST_F(CliChecksumRun, ProgressShowsAndAStopEndsWithTheSignalsStatus)
{
    const auto pImage = cli_test::FakeImage(2 * cli_test::MIB + 77);
    m_devices.Add("fake.gmi", pImage);
    pImage->SetReadDelayMs(300);
    m_output.eProgress = EProgressMode::Live;
    m_onWrite = [this] {  // at the first progress figure
        if (m_strErr.find('%') != std::string::npos) m_stop.Request(EStopSignal::Terminate);
    };
    EXPECT_EQ(RunCli({"checksum", "fake.gmi"}), 143);
    EXPECT_TRUE(ErrHas("  0.0%")) << m_strErr;
    EXPECT_TRUE(OutHas("[ERROR] stopped by " + std::string(StopSignalText(EStopSignal::Terminate)) +
                       ": the checksum of fake.gmi was not computed.\n"))
        << m_strOut;
    EXPECT_FALSE(OutHas("MD5SUM=")) << m_strOut;
    EXPECT_LT(pImage->TotalReads(), 3u);
}

}  // namespace
