// Whole runs of the erase command in this process, on fake drives: the
// confirmation and its answers, a method the catalogue lacks, the OK/NG
// summary with its reasons, refusals, a stop, and the methods listing.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "cli/cli_methods.h"
#include "engine/core/system_error.h"
#include "engine/erase/erase_methods.h"
#include "tests/cli/cli_run_fixture.h"

namespace {

using cli_test::MIB;
constexpr uint64_t SIZE = 2 * MIB + 123;  // the last block is a short one
const std::string T1 = "fake-t1";
const std::string T2 = "fake-t2";
const std::string WARNING =
    "★警告\n消去されたデータを現実的なコストで復元する事は恐らく不可能ですので、十分ご注意下さい。\n";

class CliEraseRun : public cli_test::CliRunTest {
protected:
    void SetUp() override
    {
        m_devices.Add(T1, m_pT1);
        m_devices.Add(T2, m_pT2);
    }

    int Erase(std::vector<std::string> args)
    {
        args.insert(args.begin(), "erase");
        return RunCli(args);
    }

    std::shared_ptr<CFakeDisk> m_pT1 = CFakeDisk::WithPattern(SIZE, 1);
    std::shared_ptr<CFakeDisk> m_pT2 = CFakeDisk::WithPattern(SIZE, 2);
    const std::vector<uint8_t> m_before1 = m_pT1->Contents();
};

TEST_F(CliEraseRun, YesErasesEveryDriveAfterShowingWhatAndHow)
{
    EXPECT_EQ(Erase({"--yes", "--method", "2", T1, T2}), 0) << m_strOut;
    EXPECT_EQ(m_pT1->Contents(), std::vector<uint8_t>(SIZE, 0xFF));
    EXPECT_EQ(m_pT2->Contents(), std::vector<uint8_t>(SIZE, 0xFF));
    EXPECT_TRUE(OutHas("  " + T1 + " - ERASE=OK\n  " + T2 + " - ERASE=OK\n")) << m_strOut;
    EXPECT_EQ(m_strErr, "下記のドライブを消去します。\n" + T1 + " (2097275)\n" + T2 +
                            " (2097275)\nERASE Method: Fill one(0xFF).\n" + WARNING + "実行しますか？ [y/N] y (--yes)\n");
}

TEST_F(CliEraseRun, OnlyAYesErases)
{
    EXPECT_EQ(Erase({T1}), 1);  // no terminal: No
    EXPECT_TRUE(ErrHas("実行しますか？ [y/N] N (no terminal to ask; --yes answers Yes)\n")) << m_strErr;
    EXPECT_TRUE(OutHas("[ERROR] the erase was not confirmed; no drive was erased.\n")) << m_strOut;
    TypeAtTerminal("n");
    EXPECT_EQ(Erase({T1}), 1);
    EXPECT_EQ(m_pT1->Contents(), m_before1);
    EXPECT_FALSE(OutHas("ERASE ")) << m_strOut;
    TypeAtTerminal("yes");
    EXPECT_EQ(Erase({T1}), 0) << m_strOut;
    EXPECT_EQ(m_pT1->Contents(), std::vector<uint8_t>(SIZE, 0x00));
}

TEST_F(CliEraseRun, AMethodNotInTheCatalogueIsNamedFirstAndFillsZeros)
{
    EXPECT_EQ(Erase({"--yes", "--method", "999", T1}), 0) << m_strOut;
    EXPECT_EQ(m_strOut.find("[WARNING] erase method 999 is not in the catalogue"), 0u) << m_strOut;
    EXPECT_TRUE(ErrHas("ERASE Method: Fill zero(0x00).\n")) << m_strErr;
    EXPECT_EQ(m_pT1->Contents(), std::vector<uint8_t>(SIZE, 0x00));
}

// The changed drive fails its verification, which ends the erase of the
// slow one too: that one is held at its first unit until the other drive
// is read back, and has two more to write after it.
TEST_F(CliEraseRun, TheSummaryNamesTheDriveThatFailedAndTheOneItStopped)
{
    m_pT1->SetWriteDelayMs(300);
    m_pT1->SetWriteHook([this](uint64_t, uint32_t, std::vector<uint8_t>&) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (m_pT2->TotalReads() == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    m_pT2->SetWriteHook([](uint64_t nOffset, uint32_t nCount, std::vector<uint8_t>& contents) {
        if (nOffset + nCount == contents.size()) contents[7] = 0x42;
    });
    EXPECT_EQ(Erase({"--yes", "--method", "17", T1, T2}), 1);
    EXPECT_TRUE(OutHas("  " + T1 + " - ERASE=NG\n  " + T2 + " - ERASE=NG\n"))
        << m_strOut;
}

TEST_F(CliEraseRun, ADriveHeldBySomeoneElseIsRefusedBeforeTheQuestion)
{
    cli_test::CBusyDevices busy(m_devices, T2);
    m_pDevices = &busy;
    EXPECT_EQ(Erase({"--yes", T1, T2}), 1);
    EXPECT_TRUE(OutHas("[ERROR] can't open disk fake-t2 for erasing: ")) << m_strOut;
    EXPECT_EQ(m_strErr, "") << "asked although refused";
    EXPECT_EQ(m_pT1->Contents(), m_before1);
}

// The stop comes with the first progress figure; the drive would take
// seconds to erase.
TEST_F(CliEraseRun, StopDuringTheEraseEndsPromptlyWithTheDriveNg)
{
    m_pT1->SetWriteDelayMs(1000);
    m_output.eProgress = EProgressMode::Live;
    const auto start = std::chrono::steady_clock::now();
    m_onWrite = [this] {
        if (m_strErr.find('%') != std::string::npos) m_stop.Request(EStopSignal::Terminate);
    };
    EXPECT_EQ(Erase({"--yes", T1}), 143);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_TRUE(OutHas("  " + T1 + " - ERASE=NG\n")) << m_strOut;
    EXPECT_TRUE(OutHas("the erase was cut short")) << m_strOut;
}

TEST(CliMethods, ListsEveryMethodWithItsLineAndPasses)
{
    const std::string strList = EraseMethodsListing();
    for (const T_ERASE_METHOD& m : EraseMethods()) {
        std::string strLine = m.pLogLine;
        strLine.pop_back();
        const std::string strEntry =
            std::string(" ").append(std::to_string(m.nId)).append("  ").append(m.pConstant).append("\n       ");
        EXPECT_NE(strList.find(strEntry + strLine + "\n"), std::string::npos) << m.pConstant;
    }
    EXPECT_NE(strList.find("4 passes: 0x00, 0xFF, R1, V R1\n"), std::string::npos);
    EXPECT_NE(strList.find("7 passes: 0x00, 0xFF, R1, R2, ~R1, ~R2, R3\n"), std::string::npos);
    EXPECT_NE(strList.find("35 passes: R35, R34, R33,"), std::string::npos);
    EXPECT_NE(strList.find("1 pass: 0x00\n"), std::string::npos);
    EXPECT_EQ(ErasePassNotation(0x80AA), "V 0xAA");
}

}  // namespace
