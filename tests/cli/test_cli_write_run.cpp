// Whole runs of the write command in this process, on fake drives and a
// fake image: the confirmation and its answers, exit statuses, the OK/NG
// summary with its reasons, the checks after the write, and stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>

#include "engine/core/system_error.h"
#include "tests/cli/cli_run_fixture.h"

namespace {

using cli_test::MIB;
constexpr uint64_t SIZE = 3 * MIB + 123;  // the last block is a short one
const std::string IMAGE = "fake-image.gmi";
const std::string T1 = "fake-t1";
const std::string T2 = "fake-t2";

class CliWriteRun : public cli_test::CliRunTest {
protected:
    void SetUp() override
    {
        m_devices.Add(IMAGE, m_pImage);
        m_devices.Add(T1, m_pT1);
        m_devices.Add(T2, m_pT2);
    }

    int Write(std::vector<std::string> args)
    {
        args.insert(args.begin(), "write");
        return RunCli(args);
    }

    const std::vector<uint8_t>& ImageBytes() const { return m_pImage->Contents(); }

    std::shared_ptr<CFakeDisk> m_pImage = cli_test::FakeImage(SIZE);
    std::shared_ptr<CFakeDisk> m_pT1 = CFakeDisk::WithPattern(SIZE, 1);
    std::shared_ptr<CFakeDisk> m_pT2 = CFakeDisk::WithPattern(SIZE, 2);
};

TEST_F(CliWriteRun, YesWritesEveryDriveAndTheSummarySaysOk)
{
    EXPECT_EQ(Write({"--yes", IMAGE, T1, T2}), 0) << m_strOut;
    EXPECT_EQ(m_pT1->Contents(), ImageBytes());
    EXPECT_EQ(m_pT2->Contents(), ImageBytes());
    EXPECT_TRUE(OutHas("  " + T1 + " - DISK WRITE=OK\n  " + T2 + " - DISK WRITE=OK\n")) << m_strOut;
    EXPECT_EQ(m_strErr, "下記のドライブにイメージを書き込みます。\n" + T1 + " (3145851)\n" + T2 +
                            " (3145851)\n実行しますか？ [y/N] y (--yes)\n");
}

TEST_F(CliWriteRun, WithoutATerminalTheAnswerIsNoAndNothingIsWritten)
{
    const std::vector<uint8_t> before = m_pT1->Contents();
    EXPECT_EQ(Write({IMAGE, T1}), 1);
    EXPECT_EQ(m_pT1->Contents(), before);
    EXPECT_TRUE(ErrHas("実行しますか？ [y/N] N (no terminal to ask; --yes answers Yes)\n")) << m_strErr;
    EXPECT_TRUE(OutHas("[ERROR] the write was not confirmed; no drive was written.\n")) << m_strOut;
    EXPECT_FALSE(OutHas("WRITE ")) << m_strOut;
}

TEST_F(CliWriteRun, OnlyYesTypedAtTheTerminalWrites)
{
    const std::vector<uint8_t> before = m_pT1->Contents();
    TypeAtTerminal("no");
    EXPECT_EQ(Write({IMAGE, T1}), 1);
    EXPECT_EQ(m_pT1->Contents(), before);
    TypeAtTerminal("y");
    EXPECT_EQ(Write({IMAGE, T1}), 0) << m_strOut;
    EXPECT_EQ(m_pT1->Contents(), ImageBytes());
}

TEST_F(CliWriteRun, StopWhileAskingAnswersNo)
{
    const std::vector<uint8_t> before = m_pT1->Contents();
    m_bTerminal = true;
    m_answer = [this](std::string&) {  // Ctrl-C while the operator is asked
        m_stop.Request(EStopSignal::Interrupt);
        return false;
    };
    EXPECT_EQ(Write({IMAGE, T1}), 130);
    EXPECT_EQ(m_pT1->Contents(), before);
    EXPECT_TRUE(OutHas("stopped by " + std::string(StopSignalText(EStopSignal::Interrupt)) +
                       " before any drive was written.\n"))
        << m_strOut;
}

TEST_F(CliWriteRun, StopBeforeTheQuestionWinsOverYes)
{
    const std::vector<uint8_t> before = m_pT1->Contents();
    m_stop.Request(EStopSignal::Terminate);
    EXPECT_EQ(Write({"--yes", IMAGE, T1}), 143);
    EXPECT_EQ(m_pT1->Contents(), before);
    EXPECT_TRUE(ErrHas("[y/N] N (stopped)\n")) << m_strErr;
}

TEST_F(CliWriteRun, AFailingDriveIsNgAndTheOtherIsStillWritten)
{
    m_pT2->FailWrites(MIB, MIB + 1, SystemError::IoError());
    EXPECT_EQ(Write({"--yes", IMAGE, T1, T2}), 1);
    EXPECT_EQ(m_pT1->Contents(), ImageBytes());
    EXPECT_TRUE(OutHas("  " + T1 + " - DISK WRITE=OK\n  " + T2 + " - DISK WRITE=NG\n")) << m_strOut;
}

// Only the drives written in full are compared, each under its own name.
TEST_F(CliWriteRun, VerifyComparesTheWrittenDrivesAndNamesMismatches)
{
    auto pT3 = CFakeDisk::WithPattern(SIZE, 3);
    m_devices.Add("fake-t3", pT3);
    m_pT1->FailWrites(0, 1, SystemError::IoError());
    pT3->UnstableReads(2 * MIB, 2 * MIB + 1);  // reads back what was not written
    EXPECT_EQ(Write({"--yes", "--verify", IMAGE, T1, T2, "fake-t3"}), 1);
    EXPECT_TRUE(OutHas("VERIFY " + IMAGE + " <=> " + T2 + ", fake-t3\n")) << m_strOut;
    EXPECT_TRUE(OutHas("  " + T1 + " - DISK WRITE=NG, VERIFY=--\n  " + T2 + " - DISK WRITE=OK, VERIFY=OK\n  fake-t3 - DISK WRITE=OK, VERIFY=NG\n"))
        << m_strOut;
    EXPECT_EQ(Write({"--yes", "--verify", IMAGE, "fake-t3"}), 1) << "a failed verify fails the drive alone";
}

TEST_F(CliWriteRun, Md5VerifyReadsEveryDriveBack)
{
    m_pT2->UnstableReads(0, 1);
    EXPECT_EQ(Write({"--yes", "--md5-verify", IMAGE, T1, T2}), 1);
    EXPECT_TRUE(OutHas("IMAGE MD5SUM=")) << m_strOut;
    EXPECT_TRUE(OutHas("  " + T1 + " - DISK WRITE=OK, MD5SUM CHECK=OK\n  " + T2 + " - DISK WRITE=OK, MD5SUM CHECK=NG\n")) << m_strOut;
    EXPECT_FALSE(OutHas("VERIFY ")) << m_strOut;
}

// A drive that refuses every write still succeeds when it already holds
// the image: nothing needs writing.
TEST_F(CliWriteRun, DiffOnlyWritesNothingToAnIdenticalDrive)
{
    auto pSame = std::make_shared<CFakeDisk>(ImageBytes());
    pSame->FailWrites(0, SIZE, SystemError::IoError());
    m_devices.Add("fake-same", pSame);
    EXPECT_EQ(Write({"--yes", "--diff-only", IMAGE, "fake-same"}), 0) << m_strOut;
    EXPECT_TRUE(OutHas("fake-same - 0 bytes wrote (skip=3145851).\n")) << m_strOut;
}

// The whole-job figure runs once from 0 to 100% over the write and its
// verify pass: it never goes back when the compare starts. The drive is
// slow enough (0.6 s a pass) for figures in between to show.
TEST_F(CliWriteRun, ProgressCoversWriteAndVerifyAsOneJob)
{
    m_pT1->SetWriteDelayMs(150);
    m_pT1->SetReadDelayMs(150);
    m_output.eProgress = EProgressMode::Live;
    EXPECT_EQ(Write({"--yes", "--verify", IMAGE, T1}), 0) << m_strOut;
    const std::regex figure("([0-9]+\\.[0-9])%");
    std::vector<double> arrFigures;
    for (auto it = std::sregex_iterator(m_strErr.begin(), m_strErr.end(), figure); it != std::sregex_iterator(); ++it)
        arrFigures.push_back(std::stod((*it)[1]));
    ASSERT_FALSE(arrFigures.empty()) << m_strErr;
    EXPECT_TRUE(std::is_sorted(arrFigures.begin(), arrFigures.end())) << m_strErr;
    EXPECT_EQ(arrFigures.back(), 100.0) << m_strErr;
    EXPECT_TRUE(std::any_of(arrFigures.begin(), arrFigures.end(), [](double d) { return d > 50.0 && d < 100.0; }))
        << m_strErr;
}

// The stop comes with the first progress figure, while the drive is being
// written (a second per block, 3 s for the drive); the run must end long
// before the write would have.
TEST_F(CliWriteRun, StopDuringTheWriteEndsPromptlyWithTheDriveNg)
{
    auto pSlow = CFakeDisk::WithPattern(SIZE, 4);
    pSlow->SetWriteDelayMs(1000);
    m_devices.Add("fake-slow", pSlow);
    m_output.eProgress = EProgressMode::Live;
    const auto start = std::chrono::steady_clock::now();
    m_onWrite = [this] {
        if (m_strErr.find('%') != std::string::npos) m_stop.Request(EStopSignal::HangUp);
    };
    EXPECT_EQ(Write({"--yes", IMAGE, "fake-slow"}), 129);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_TRUE(OutHas("  fake-slow - DISK WRITE=NG\n")) << m_strOut;
    EXPECT_TRUE(OutHas("the job was cut short")) << m_strOut;
}

}  // namespace
