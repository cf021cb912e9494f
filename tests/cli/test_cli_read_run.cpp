// Whole runs of the read command in this process, with a fake drive, a
// real image file and a recorded console: exit statuses and stop requests.
// (The lowered buffer's warning: the buffer's own tests.)
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/core/system_error.h"
#include "tests/cli/cli_run_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

using cli_test::MIB;
const std::string DRIVE = "fake-drive";

class CliReadRun : public cli_test::CliRunTest {
protected:
    void SetUp() override { m_devices.Add(DRIVE, m_pDisk); }

    std::string Image() const { return m_dir.File("image.gmi"); }
    std::vector<uint8_t> ImageBytes() const { return ReadWholeFile(Image()); }
    const std::vector<uint8_t>& DriveBytes() const { return m_pDisk->Contents(); }

    CTempDir m_dir;
    std::shared_ptr<CFakeDisk> m_pDisk = CFakeDisk::WithPattern(3 * MIB + 123);
};

// (The digest and the byte count are checked end to end:
// tests/e2e/test_read_file.sh.)
TEST_F(CliReadRun, StatusZeroOnlyForAWholeImageWithABellOnATerminal)
{
    EXPECT_EQ(RunCli({"read", DRIVE, Image()}), 0) << m_strOut;
    EXPECT_EQ(ImageBytes(), DriveBytes());
    EXPECT_EQ(m_strErr, "");
    m_output.bellAfter = std::chrono::milliseconds(0);  // a terminal, and the job took long enough
    EXPECT_EQ(RunCli({"read", DRIVE, m_dir.File("again.gmi")}), 0) << m_strOut;
    EXPECT_EQ(m_strErr, "\a");
    m_pDisk->FailReads(MIB, MIB + 1, SystemError::IoError());
    EXPECT_EQ(RunCli({"read", DRIVE, m_dir.File("failed.gmi")}), 1);
    EXPECT_NE(m_strOut.find("[ERROR] disk read retry out.\n"), std::string::npos) << m_strOut;
}

// A drive that stopped answering: the stop is answered at once, the hang
// is named after the patience, and the read ends when the drive answers.
TEST_F(CliReadRun, AStopWhileTheDriveHangsIsAnsweredAtOnce)
{
    m_pDisk->HangReads(MIB, 2 * MIB, false);
    m_output.eProgress = EProgressMode::Live;  // a console write every 250 ms
    m_stopPatience = std::chrono::milliseconds(300);
    m_onWrite = [this] {
        std::error_code ec;  // once the block before the hang has reached the image
        const bool bHung = m_pDisk->HungReads() > 0 && std::filesystem::file_size(Image(), ec) == MIB;
        if (bHung) m_stop.Request(EStopSignal::Interrupt);
        if (ErrHas("a drive does not answer")) m_pDisk->ReleaseHang();
    };
    EXPECT_EQ(RunCli({"read", DRIVE, Image()}), 130);
    const size_t nStopping = m_strErr.find(std::string(StopSignalText(EStopSignal::Interrupt)) + ": stopping the job");
    const size_t nNoAnswer = m_strErr.find("a drive does not answer");
    EXPECT_NE(nNoAnswer, std::string::npos) << m_strErr;
    EXPECT_LT(nStopping, nNoAnswer) << m_strErr;
    EXPECT_EQ(ImageBytes().size(), MIB);
}

// A stop before the read, even with --yes: an existing image is kept, and
// no new one is made.
TEST_F(CliReadRun, AStopBeforeTheReadLeavesTheImageAsItWas)
{
    m_stop.Request(EStopSignal::Terminate);
    EXPECT_EQ(RunCli({"read", DRIVE, Image()}), 143);
    EXPECT_FALSE(std::filesystem::exists(Image()));
    EXPECT_NE(m_strOut.find("before any of the drive's bytes were read; no image was written.\n"), std::string::npos)
        << m_strOut;
    WriteWholeFile(Image(), {'k', 'e', 'e', 'p'});
    m_strOut.clear();
    EXPECT_EQ(RunCli({"read", "--yes", DRIVE, Image()}), 143);
    EXPECT_EQ(ImageBytes(), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(m_strErr.find("y (--yes)"), std::string::npos) << m_strErr;
    EXPECT_NE(m_strOut.find("before any of the drive's bytes reached " + Image() + "; it was left as it was.\n"),
              std::string::npos)
        << m_strOut;
}

}  // namespace
