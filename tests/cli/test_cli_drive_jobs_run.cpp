// Whole runs of write, verify and erase in this process, on fake drives
// and a fake image: what is shown before the question and how it is
// answered, exit statuses, and stops. (A refused job: the pre-flight's own
// tests and tests/e2e/test_write_loop.sh; status 1 when a drive is NG:
// tests/e2e/test_write_file.sh.)
#include <gtest/gtest.h>

#include <chrono>

#include "engine/core/system_error.h"
#include "tests/cli/cli_run_fixture.h"

namespace {

using cli_test::MIB;
constexpr uint64_t SIZE = 3 * MIB + 123;  // the last block is a short one
const std::string IMAGE = "fake-image.gmi";
const std::string T1 = "fake-t1";
const std::string T2 = "fake-t2";

class CliDriveJobRun : public cli_test::CliRunTest {
protected:
    void SetUp() override
    {
        m_devices.Add(IMAGE, m_pImage);
        m_devices.Add(T1, m_pT1);
        m_devices.Add(T2, m_pT2);
    }

    const std::vector<uint8_t>& ImageBytes() const { return m_pImage->Contents(); }

    std::shared_ptr<CFakeDisk> m_pImage = cli_test::FakeImage(SIZE);
    std::shared_ptr<CFakeDisk> m_pT1 = CFakeDisk::WithPattern(SIZE, 1);
    std::shared_ptr<CFakeDisk> m_pT2 = CFakeDisk::WithPattern(SIZE, 2);
    const std::vector<uint8_t> m_before1 = m_pT1->Contents();
};

// (Without a terminal the answer is No: tests/e2e/test_write_file.sh.)
TEST_F(CliDriveJobRun, OnlyAYesTypedAtTheTerminalWrites)
{
    TypeAtTerminal("no");
    EXPECT_EQ(RunCli({"write", IMAGE, T1}), 1);
    EXPECT_EQ(m_pT1->Contents(), m_before1);
    TypeAtTerminal("y");
    EXPECT_EQ(RunCli({"write", IMAGE, T1}), 0) << m_strOut;
    EXPECT_EQ(m_pT1->Contents(), ImageBytes());
}

TEST_F(CliDriveJobRun, AStopWhileAskingAnswersNoWithTheSignalsStatus)
{
    m_bTerminal = true;
    m_answer = [this](std::string&) {  // Ctrl-C while the operator is asked
        m_stop.Request(EStopSignal::Interrupt);
        return false;
    };
    EXPECT_EQ(RunCli({"write", IMAGE, T1}), 130);
    EXPECT_EQ(m_pT1->Contents(), m_before1);
    EXPECT_TRUE(OutHas("stopped by " + std::string(StopSignalText(EStopSignal::Interrupt)) +
                       " before any drive was written.\n"))
        << m_strOut;
}

TEST_F(CliDriveJobRun, AStopBeforeTheQuestionWinsOverYes)
{
    m_stop.Request(EStopSignal::Terminate);
    EXPECT_EQ(RunCli({"erase", "--yes", T1}), 143);
    EXPECT_TRUE(ErrHas("[y/N] N (stopped)\n")) << m_strErr;
    EXPECT_EQ(m_pT1->Contents(), m_before1);
}

// The stop comes with the first progress figure, while the drive is being
// written (a second per block, 3 s for the drive); the run must end long
// before the write would have.
TEST_F(CliDriveJobRun, AStopDuringTheWriteEndsPromptlyWithTheDriveNgAndTheSignalsStatus)
{
    m_pT1->SetWriteDelayMs(1000);
    m_output.eProgress = EProgressMode::Live;
    const auto start = std::chrono::steady_clock::now();
    m_onWrite = [this] {
        if (m_strErr.find('%') != std::string::npos) m_stop.Request(EStopSignal::HangUp);
    };
    EXPECT_EQ(RunCli({"write", "--yes", IMAGE, T1}), 129);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_TRUE(OutHas("  " + T1 + " - DISK WRITE=NG\n")) << m_strOut;
    EXPECT_TRUE(OutHas("the job was cut short")) << m_strOut;
}

TEST_F(CliDriveJobRun, AnEraseShowsWhatAndHowBeforeTheQuestion)
{
    EXPECT_EQ(RunCli({"erase", "--yes", "--method", "2", T1}), 0) << m_strOut;
    EXPECT_EQ(m_pT1->Contents(), std::vector<uint8_t>(SIZE, 0xFF));
    EXPECT_TRUE(OutHas("  " + T1 + " - ERASE=OK\n")) << m_strOut;
    EXPECT_EQ(m_strErr, "下記のドライブを消去します。\n" + T1 +
                            " (3145851)\nERASE Method: Fill one(0xFF).\n★警告\n消去されたデータを現実的なコストで復元"
                            "する事は恐らく不可能ですので、十分ご注意下さい。\n実行しますか？ [y/N] y (--yes)\n");
    m_strOut.clear();
    m_strErr.clear();
    EXPECT_EQ(RunCli({"erase", "--yes", "--method", "999", T1}), 0) << m_strOut;
    EXPECT_EQ(m_strOut.find("[WARNING] erase method 999 is not in the catalogue"), 0u) << m_strOut;
    EXPECT_TRUE(ErrHas("ERASE Method: Fill zero(0x00).\n")) << m_strErr;
    EXPECT_EQ(m_pT1->Contents(), std::vector<uint8_t>(SIZE, 0x00));
}

}  // namespace
