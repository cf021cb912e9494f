// Whole runs of the read command in this process, with a fake drive, a
// real image file and a recorded console: exit statuses, questions, stop
// requests, the buffer cap and a standard output that cannot be written.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "engine/core/md5.h"
#include "engine/core/system_error.h"
#include "tests/cli/cli_run_fixture.h"
#include "tests/engine/zlib/zlib_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using cli_test::MIB;
const std::string DRIVE = "fake-drive";

class CliReadRun : public cli_test::CliRunTest {
protected:
    void SetUp() override { m_devices.Add(DRIVE, m_pDisk); }

    // Runs "read ARGS..."; returns the exit status.
    int Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "read");
        return RunCli(args);
    }

    std::string Image() const { return m_dir.File("image.gmi"); }
    std::vector<uint8_t> ImageBytes() const { return ReadWholeFile(Image()); }
    const std::vector<uint8_t>& DriveBytes() const { return m_pDisk->Contents(); }

    CTempDir m_dir;
    std::shared_ptr<CFakeDisk> m_pDisk = CFakeDisk::WithPattern(3 * MIB + 123);
};

std::string Md5TextOf(const std::vector<uint8_t>& data)
{
    CMd5 md5;
    md5.Update(data.data(), data.size());
    return Md5Text(md5.Final());
}

TEST_F(CliReadRun, SuccessGivesStatusZeroAndTheDigest)
{
    EXPECT_EQ(Run({DRIVE, Image()}), 0) << m_strOut;
    EXPECT_EQ(ImageBytes(), DriveBytes());
    EXPECT_NE(m_strOut.find("DISK MD5SUM=" + Md5TextOf(DriveBytes()) + "\n"), std::string::npos) << m_strOut;
    EXPECT_NE(m_strOut.find(DRIVE + " - 3145851 bytes dumped.\n"), std::string::npos) << m_strOut;
    EXPECT_EQ(m_strErr, "");
    m_output.bellAfter = std::chrono::milliseconds(0);  // a terminal, and the job took long enough
    EXPECT_EQ(Run({DRIVE, m_dir.File("again.gmi")}), 0) << m_strOut;
    EXPECT_EQ(m_strErr, "\a");
}

TEST_F(CliReadRun, ReadFailureGivesStatusOne)
{
    m_pDisk->FailReads(MIB, MIB + 1, SystemError::IoError());
    EXPECT_EQ(Run({DRIVE, Image()}), 1);
    EXPECT_NE(m_strOut.find("[ERROR] disk read retry out.\n"), std::string::npos) << m_strOut;
    EXPECT_EQ(m_strOut.find("DISK MD5SUM="), std::string::npos);
}

TEST_F(CliReadRun, ExistingImageWithoutATerminalIsLeftAlone)
{
    WriteWholeFile(Image(), {'k', 'e', 'e', 'p'});
    EXPECT_EQ(Run({DRIVE, Image()}), 1);
    EXPECT_EQ(ImageBytes(), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_NE(m_strErr.find(Image() + " already exists. 上書きしますか？ [y/N] N (no terminal"), std::string::npos)
        << m_strErr;
    EXPECT_NE(m_strOut.find("[ERROR] can't create file " + Image() + ".\n"), std::string::npos) << m_strOut;
}

TEST_F(CliReadRun, ExistingImageIsReplacedAfterYesOnTheTerminal)
{
    WriteWholeFile(Image(), std::vector<uint8_t>(5 * MIB, 0xEE));  // longer than the drive
    m_bTerminal = true;
    m_answer = [](std::string& strLine) {
        strLine.assign(1, 'y');  // (not = "y": a false -Wrestrict of GCC 12 at -O3)
        return true;
    };
    EXPECT_EQ(Run({DRIVE, Image()}), 0) << m_strOut;
    EXPECT_EQ(ImageBytes(), DriveBytes());
}

TEST_F(CliReadRun, StopDuringTheQuestionAnswersNo)
{
    WriteWholeFile(Image(), {'k', 'e', 'e', 'p'});
    m_bTerminal = true;
    m_answer = [this](std::string&) {  // Ctrl-C while the operator is asked
        m_stop.Request(EStopSignal::Interrupt);
        return false;
    };
    EXPECT_EQ(Run({DRIVE, Image()}), 130);
    EXPECT_EQ(ImageBytes(), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    const std::string strLine = "[ERROR] stopped by " + std::string(StopSignalText(EStopSignal::Interrupt)) +
                                " before any of the drive's bytes reached " + Image() + "; it was left as it was.\n";
    EXPECT_NE(m_strOut.find(strLine), std::string::npos) << m_strOut;
}

// A drive that stopped answering: the stop is answered at once, the hang
// is named after the patience, and the read ends when the drive answers.
TEST_F(CliReadRun, AStopWhileTheDriveHangsIsAnsweredAtOnce)
{
    m_pDisk->HangReads(MIB, 2 * MIB, false);
    m_output.eProgress = EProgressMode::Live;  // a console write every 250 ms
    m_stopPatience = std::chrono::milliseconds(300);
    m_onWrite = [this] {
        if (m_pDisk->HungReads() > 0) m_stop.Request(EStopSignal::Interrupt);
        if (ErrHas("a drive does not answer")) m_pDisk->ReleaseHang();
    };
    EXPECT_EQ(Run({DRIVE, Image()}), 130);
    const size_t nStopping = m_strErr.find(std::string(StopSignalText(EStopSignal::Interrupt)) + ": stopping the job");
    const size_t nNoAnswer = m_strErr.find("a drive does not answer");
    EXPECT_NE(nNoAnswer, std::string::npos) << m_strErr;
    EXPECT_LT(nStopping, nNoAnswer) << m_strErr;
    EXPECT_EQ(ImageBytes().size(), MIB);
}

TEST_F(CliReadRun, StopBeforeTheReadLeavesNoImage)
{
    m_stop.Request(EStopSignal::Terminate);
    EXPECT_EQ(Run({DRIVE, Image()}), 143);
    EXPECT_FALSE(std::filesystem::exists(Image()));
    EXPECT_NE(m_strOut.find("before any of the drive's bytes were read; no image was written.\n"), std::string::npos)
        << m_strOut;
}

TEST_F(CliReadRun, StopWinsOverYes)
{
    WriteWholeFile(Image(), {'k', 'e', 'e', 'p'});
    m_stop.Request(EStopSignal::HangUp);
    EXPECT_EQ(Run({"--yes", DRIVE, Image()}), 129);
    EXPECT_EQ(ImageBytes(), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    // The engine may skip the question after the stop; if it asks, No.
    EXPECT_EQ(m_strErr.find("y (--yes)"), std::string::npos) << m_strErr;
}

// The drive takes 2.4 s to read; the stop comes with the first progress
// line that finds bytes in the image and must end the run well before
// that, with the image holding a prefix of the drive.
TEST_F(CliReadRun, StopInTheMiddleSaysWhatTheImageHolds)
{
    m_pDisk = CFakeDisk::WithPattern(48 * MIB);
    m_pDisk->SetReadDelayMs(50);
    m_devices.Add(DRIVE, m_pDisk);
    m_output.eProgress = EProgressMode::Live;
    std::chrono::steady_clock::time_point stopTime;
    m_onWrite = [&] {
        std::error_code ec;
        if (std::filesystem::file_size(Image(), ec) > 0 && !ec && m_stop.Request(EStopSignal::Terminate))
            stopTime = std::chrono::steady_clock::now();
    };
    EXPECT_EQ(Run({DRIVE, Image()}), 143);
    EXPECT_LT(std::chrono::steady_clock::now() - stopTime, std::chrono::milliseconds(1000));

    const std::regex line("\\[ERROR\\] stopped by .*: the image .* is incomplete; it holds ([0-9]+) of the "
                          "drive's ([0-9]+) bytes\\.\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(m_strOut, match, line)) << m_strOut;
    const std::vector<uint8_t> image = ImageBytes();
    EXPECT_EQ(std::stoull(match[1]), image.size());
    EXPECT_EQ(std::stoull(match[2]), 48 * MIB);
    EXPECT_LT(image.size(), 48 * MIB);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), DriveBytes().begin()));
}

TEST_F(CliReadRun, BufferAboveTheMemoryCapIsLoweredAndSaysSo)
{
    m_nAvailableMiB = 40;
    EXPECT_EQ(Run({"--buffer", "64", DRIVE, Image()}), 0) << m_strOut;
    EXPECT_NE(m_strOut.find("[WARNING] a buffer of 64 MiB is more than 75% of the available memory (40 MiB): "
                            "lowered to 30 MiB.\n"),
              std::string::npos)
        << m_strOut;
}

TEST_F(CliReadRun, SmallestBufferRunsWithoutComplaint)
{
    m_nAvailableMiB = 10;  // 75% of it is below the 16 blocks every job has
    EXPECT_EQ(Run({"--buffer", "16", DRIVE, Image()}), 0) << m_strOut;
    EXPECT_EQ(m_strOut.find("--buffer"), std::string::npos) << m_strOut;
    EXPECT_EQ(ImageBytes(), DriveBytes());
}

TEST_F(CliReadRun, ThreadsSetHowManyThreadsCompressTheImage)
{
    CTraceCapture trace;
    EXPECT_EQ(Run({"--compress", "--threads", "3", DRIVE, Image()}), 0) << m_strOut;
    const std::vector<std::string> lines = trace.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "CParallelDeflate: 3 threads\n"), lines.end());
    EXPECT_TRUE(ReadFromMemory(ImageBytes()).data == DriveBytes());
}

TEST_F(CliReadRun, UnwritableOutputFailsAndDeliversTheDigestOnStandardError)
{
    m_nOutputError = SystemError::DiskFull();
    EXPECT_EQ(Run({DRIVE, Image()}), 1);
    EXPECT_EQ(ImageBytes(), DriveBytes());
    EXPECT_NE(m_strErr.find("DISK MD5SUM=" + Md5TextOf(DriveBytes())), std::string::npos) << m_strErr;
    EXPECT_NE(m_strErr.find("gravelmoor-cli: standard output could not be written"), std::string::npos) << m_strErr;
}

}  // namespace
