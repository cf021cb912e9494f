// A run of the checksum command in this process: a stop on a slow fake
// image. (Digests, the .md5sum file's verdicts and the exit statuses end to
// end: tests/e2e/test_checksum_file.sh.)
#include <gtest/gtest.h>

#include "tests/cli/cli_run_fixture.h"

namespace {

using CliChecksumRun = cli_test::CliRunTest;

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
