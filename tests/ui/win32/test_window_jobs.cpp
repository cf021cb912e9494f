// Jobs started from the main window: a confirmed write with one failing
// target end to end, and a stop and the window's closing while a drive does
// not answer. (The job's own rules: tests/jobs; the window's choices:
// tests/ui/test_*.cpp.)
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "ui/model/control_ids.h"
#include "ui/model/row_state.h"
#include "ui/win32/resource.h"
#include "tests/ui/win32/window_harness.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* CONFIRM_TITLE = "確認";

TEST(WindowWriteJob, ACancelledConfirmationWritesNothingAndAConfirmedOneMarksEachTargetByItsOutcome)
{
    CWindowHarness harness;
    const auto pGood = harness.AddDisk(1);
    const auto pBad = harness.AddDisk(2);
    pBad->FailWrites(0x200000, 0x300000, 5);
    const std::vector<uint8_t> before = pGood->Contents();
    harness.Open();
    const std::vector<uint8_t> image(DISK_SIZE, 0xC3);
    const std::string strImage = harness.m_temp.File("source.gmi");
    WriteWholeFile(strImage, image);
    harness.SetRowChecked(0, true);
    harness.SetRowChecked(1, true);
    harness.SetImagePath(strImage);
    ASSERT_TRUE(harness.Enabled(IDC_WRITE));
    {
        CDialogAnswerer answer(CONFIRM_TITLE, [](HWND hDialog) { ::PostMessageW(hDialog, WM_COMMAND, IDCANCEL, 0); });
        harness.Click(IDC_WRITE);
        EXPECT_TRUE(answer.Answered());
    }
    PumpFor(300ms);
    EXPECT_FALSE(harness.Dialog().JobRunning());
    EXPECT_EQ(harness.Dialog().RowState(0), 0u);
    EXPECT_EQ(pGood->Contents(), before);

    std::string strLines;
    {
        CDialogAnswerer answer(CONFIRM_TITLE, [&](HWND hDialog) {
            strLines = DialogItemText(hDialog, IDC_OVERWRITE_DRIVES);
            ::PostMessageW(hDialog, WM_COMMAND, IDOK, 0);
        });
        harness.Click(IDC_WRITE);
    }
    ASSERT_TRUE(harness.WaitJobEnd());
    EXPECT_EQ(std::count(strLines.begin(), strLines.end(), '\n'), 2) << strLines;
    EXPECT_NE(strLines.find("DRIVE#02"), std::string::npos) << strLines;
    EXPECT_EQ(pGood->Contents(), image);
    EXPECT_EQ(harness.RowLamps(0), std::make_pair(LAMP_RED, LAMP_GREEN));
    EXPECT_EQ(harness.RowLamps(1), std::make_pair(LAMP_RED, LAMP_RED));
}

TEST(WindowStop, StopDuringAHungReadAnswersAtOnceAndTheJobEndsWhenTheDriveDoes)
{
    CWindowHarness harness;
    std::shared_ptr<CFakeDisk> pDisk;
    ASSERT_TRUE(harness.StartHungRead(pDisk));
    // The busy row's job lamp blinks once a second.
    std::set<uint32_t> upperLamps;
    PumpUntil([&] {
        upperLamps.insert(harness.RowLamps(0).first);
        return upperLamps.size() == 2;
    }, 3s);
    EXPECT_EQ(upperLamps, (std::set<uint32_t>{LAMP_GREEN, LAMP_DARK_GREEN}));
    EXPECT_FALSE(harness.Enabled(IDC_CLOSE) || harness.Enabled(IDC_ROW_ENABLE[0]));
    const auto start = std::chrono::steady_clock::now();
    harness.Click(IDC_STOP);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);  // the window did not wait for the job
    EXPECT_FALSE(harness.Enabled(IDC_STOP));
    EXPECT_TRUE(PumpUntil([&] { return harness.LogSays("a drive does not answer"); }, 5s));
    EXPECT_TRUE(harness.Dialog().JobRunning());
    pDisk->ReleaseHang();
    ASSERT_TRUE(harness.WaitJobEnd(10s));
    EXPECT_EQ(harness.RowLamps(0).second, LAMP_RED);
    EXPECT_TRUE(harness.Enabled(IDC_CLOSE));
    EXPECT_EQ(harness.m_nProcessEnds, 0);
}

TEST(WindowClose, TheCloseBoxDuringAJobAsksAndYesLeavesWithinThePatienceThoughTheDriveHangs)
{
    CWindowHarness harness;
    std::shared_ptr<CFakeDisk> pDisk;
    ASSERT_TRUE(harness.StartHungRead(pDisk));
    {
        CDialogAnswerer answer("Gravelmoor", [](HWND hBox) { ::PostMessageW(hBox, WM_COMMAND, IDNO, 0); });
        ::SendMessageW(harness.Window(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_TRUE(harness.Window() != nullptr && harness.Dialog().JobRunning());
    const auto start = std::chrono::steady_clock::now();
    {
        CDialogAnswerer answer("Gravelmoor", [](HWND hBox) { ::PostMessageW(hBox, WM_COMMAND, IDYES, 0); });
        ::SendMessageW(harness.Window(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);  // the answer, not the job
    EXPECT_TRUE(PumpUntil([&] { return harness.m_nProcessEnds > 0; }, 5s));
    EXPECT_GE(std::chrono::steady_clock::now() - start, harness.m_stopPatience);
    EXPECT_NE(harness.Window(), nullptr);  // nothing the job's thread uses was destroyed
    // Here the process has ended; the test's port lets the drive answer and
    // the window end with the job.
    pDisk->ReleaseHang();
    EXPECT_TRUE(PumpUntil([&] { return harness.Window() == nullptr; }, 10s));
    EXPECT_EQ(harness.m_nProcessEnds, 1);
}

}  // namespace
