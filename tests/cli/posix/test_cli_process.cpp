// The built program started as an operator or a script starts it: with
// standard streams closed or unwritable, stopped by signals, and asked the
// overwrite question on a terminal.
#include <gtest/gtest.h>

#include <locale.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>
#include <tuple>

#include "cli/cli_stop.h"
#include "tests/cli/posix/cli_process.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

constexpr auto START_TIMEOUT = 20s;  // generous: sanitizer builds start slowly
constexpr auto RUN_TIMEOUT = 60s;
constexpr auto PROMPT_STOP_BOUND = 3s;  // a stop must end the program within this
const std::vector<uint8_t> OLD_IMAGE = {'k', 'e', 'e', 'p'};

std::vector<uint8_t> SomeBytes(size_t nSize)
{
    std::vector<uint8_t> data(nSize);
    for (size_t i = 0; i < nSize; ++i) data[i] = static_cast<uint8_t>((i * 7919) >> 3);
    return data;
}

T_CLI_START ReadCommand(std::vector<std::string> operands)
{
    T_CLI_START start;
    start.args = std::move(operands);
    start.args.insert(start.args.begin(), "read");
    return start;
}

class CliProcess : public ::testing::Test {
protected:
    std::string Drive()
    {
        const std::string strPath = m_dir.File("drive.bin");
        WriteWholeFile(strPath, SomeBytes(3 * 1024 * 1024 + 77));
        return strPath;
    }
    // A 64 GiB sparse drive: reading it takes minutes, so a stop always
    // comes in the middle.
    std::string EndlessDrive()
    {
        const std::string strPath = m_dir.File("endless.bin");
        WriteWholeFile(strPath, {});
        std::filesystem::resize_file(strPath, 64ull << 30);
        return strPath;
    }
    std::string Image() const { return m_dir.File("image.gmi"); }
    // Waits until the read is under way: the image holds some of the drive.
    bool WaitForImageBytes() const
    {
        const auto deadline = std::chrono::steady_clock::now() + START_TIMEOUT;
        std::error_code ec;
        while (std::filesystem::file_size(Image(), ec) == 0 || ec) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    CTempDir m_dir;
};

TEST_F(CliProcess, ClosedStandardStreamsNeverBecomeTheImage)
{
    const std::string strDrive = Drive();
    for (const std::vector<int>& closed : {std::vector<int>{0, 1}, std::vector<int>{0, 1, 2}}) {
        std::filesystem::remove(Image());
        T_CLI_START start = ReadCommand({strDrive, Image()});
        start.closedStreams = closed;
        CCliProcess cli(start);
        EXPECT_EQ(cli.Wait(RUN_TIMEOUT), 0) << cli.Err();
        EXPECT_EQ(ReadWholeFile(Image()), ReadWholeFile(strDrive)) << closed.size() << " streams closed";
    }
}

TEST_F(CliProcess, UnwritableStandardOutputIsAFailure)
{
    T_CLI_START start = ReadCommand({Drive(), Image()});
    start.strOutputPath = "/dev/full";
    CCliProcess cli(start);
    EXPECT_EQ(cli.Wait(RUN_TIMEOUT), 1);
    EXPECT_NE(cli.Err().find("DISK MD5SUM="), std::string::npos) << cli.Err();
    EXPECT_NE(cli.Err().find("standard output could not be written"), std::string::npos) << cli.Err();
    start.args = {"--help"};
    CCliProcess help(start);
    EXPECT_EQ(help.Wait(RUN_TIMEOUT), 1);
}

// Each stop signal ends a read in the middle promptly, with its status and
// a line that says how much of the drive the image holds.
TEST_F(CliProcess, EachStopSignalEndsPromptlyWithItsStatusAndWhatTheImageHolds)
{
    const std::string strDrive = EndlessDrive();
    for (const auto& [nSignal, nStatus, pName] :
         {std::tuple{SIGINT, 130, "SIGINT"}, std::tuple{SIGTERM, 143, "SIGTERM"}, std::tuple{SIGHUP, 129, "SIGHUP"}}) {
        std::filesystem::remove(Image());
        CCliProcess cli(ReadCommand({"--buffer", "16", strDrive, Image()}));
        ASSERT_TRUE(WaitForImageBytes()) << cli.Out() << cli.Err();
        const auto stopTime = std::chrono::steady_clock::now();
        cli.Signal(nSignal);
        EXPECT_EQ(cli.Wait(RUN_TIMEOUT), nStatus) << cli.Out() << cli.Err();
        EXPECT_LT(std::chrono::steady_clock::now() - stopTime, PROMPT_STOP_BOUND) << pName;
        const std::regex line(std::string("\\[ERROR\\] stopped by ") + pName + ".*: the image .* is incomplete; it "
                              "holds ([0-9]+) of the drive's 68719476736 bytes\\.\n");
        std::smatch match;
        ASSERT_TRUE(std::regex_search(cli.Out(), match, line)) << cli.Out();
        EXPECT_EQ(std::stoull(match[1]), std::filesystem::file_size(Image()));
    }
}

// nohup starts a program with SIGHUP ignored; the read must then outlive a
// hang-up, and still stop on SIGTERM.
TEST_F(CliProcess, IgnoredHangUpStaysIgnored)
{
    T_CLI_START start = ReadCommand({"--buffer", "16", EndlessDrive(), Image()});
    start.bHangUpIgnored = true;
    CCliProcess cli(start);
    ASSERT_TRUE(WaitForImageBytes()) << cli.Err();
    cli.Signal(SIGHUP);
    EXPECT_FALSE(cli.WaitForOutput("stopped by", 300ms));
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(RUN_TIMEOUT), 143) << cli.Out();
    EXPECT_NE(cli.Out().find("stopped by SIGTERM"), std::string::npos) << cli.Out();
}

// A second stop request ends the program at once, with its own status.
TEST(CliStopRequest, SecondRequestQuitsAtOnce)
{
    EXPECT_EXIT(
        {
            OnStopSignal(EStopSignal::Terminate);
            OnStopSignal(EStopSignal::Interrupt);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(130), "stopped at once");
    EXPECT_EXIT(
        {
            OnStopSignal(EStopSignal::HangUp);
            std::_Exit(0);  // the first one only records the request
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(CliProcess, CtrlCOnTheTerminalEndsTheQuestionWithNo)
{
    WriteWholeFile(Image(), OLD_IMAGE);
    T_CLI_START start = ReadCommand({Drive(), Image()});
    start.bTerminal = true;
    CCliProcess cli(start);
    ASSERT_TRUE(cli.WaitForOutput(Image() + " already exists. 上書きしますか？ [y/N] ", START_TIMEOUT)) << cli.Out();
    const auto stopTime = std::chrono::steady_clock::now();
    cli.Type("\x03");  // the terminal turns it into SIGINT for its foreground
    EXPECT_EQ(cli.Wait(RUN_TIMEOUT), 130) << cli.Out();
    EXPECT_LT(std::chrono::steady_clock::now() - stopTime, PROMPT_STOP_BOUND);
    EXPECT_EQ(ReadWholeFile(Image()), OLD_IMAGE);
    EXPECT_NE(cli.Out().find("stopped by SIGINT (Ctrl-C) before any of the drive's bytes reached " + Image() +
                             "; it was left as it was."),
              std::string::npos)
        << cli.Out();
}

TEST_F(CliProcess, ProgressShowsTheUsersDecimalCommaAndTheMd5SumFileStaysAsItIs)
{
    const locale_t german = ::newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr);
    if (german == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale here (scripts/setup.sh generates it)";
    ::freelocale(german);
    T_CLI_START start = ReadCommand({"--md5sum", Drive(), Image()});
    start.bTerminal = true;
    const char* pOld = ::getenv("LC_ALL");
    const std::string strOld = pOld ? pOld : "";
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);  // the child takes it; this process never sets a locale
    CCliProcess cli(start);
    pOld ? ::setenv("LC_ALL", strOld.c_str(), 1) : ::unsetenv("LC_ALL");
    EXPECT_EQ(cli.Wait(RUN_TIMEOUT), 0) << cli.Out();
    EXPECT_NE(cli.Out().find("100,0%"), std::string::npos) << cli.Out();
    const std::vector<uint8_t> md5sum = ReadWholeFile(Image() + ".md5sum");
    EXPECT_TRUE(std::regex_match(std::string(md5sum.begin(), md5sum.end()), std::regex("[0-9a-f]{32} image\\.gmi\n")));
}

}  // namespace
