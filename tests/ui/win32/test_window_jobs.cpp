// Jobs started from the main window: a read, a confirmed write with one
// failing target, an erase with the method dialog's choice, and a stop and
// the window's closing while a drive does not answer.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "ui/model/control_ids.h"
#include "ui/model/row_state.h"
#include "ui/win32/resource.h"
#include "tests/ui/win32/window_harness.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* CONFIRM_TITLE = "確認";
constexpr const char* ERASE_TITLE = "ドライブ消去（代替セクタは消去出来ません）";

TEST(WindowReadJob, ReadsTheRowsDriveIntoTheImageAndTheImageCanThenBeVerified)
{
    CWindowHarness harness;
    const auto pDisk = harness.AddDisk(1);
    harness.Open();
    harness.SetRowChecked(0, true);
    const std::string strImage = harness.m_temp.File("read.gmi");
    harness.SetImagePath(strImage);
    EXPECT_FALSE(harness.Enabled(IDC_VERIFY));
    harness.Click(IDC_READ);
    ASSERT_TRUE(harness.WaitJobEnd());

    EXPECT_EQ(ReadWholeFile(strImage), pDisk->Contents());
    EXPECT_EQ(harness.RowLamps(0), std::make_pair(LAMP_GREEN, LAMP_GREEN));
    EXPECT_NE(harness.Dialog().LogText().find("GRAVELMOOR=OK"), std::string::npos);
    // Idle again: the new image is measured and can be verified against the drive.
    EXPECT_TRUE(harness.Enabled(IDC_VERIFY));
    EXPECT_FALSE(harness.Enabled(IDC_STOP));
    EXPECT_EQ(harness.Dialog().ProgressText(IDC_IMAGE_PROGRESS), std::to_string(DISK_SIZE));
    EXPECT_EQ(::SendMessageW(harness.Item(IDC_IMAGE_PATH), CB_GETCOUNT, 0, 0), 1) << "the path is in the history";
}

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

TEST(WindowEraseJob, TheMethodDialogShowsEachDescriptionAndItsChoiceRunsTheErase)
{
    CWindowHarness harness;
    const auto pDisk = harness.AddDisk(1);
    harness.Open();
    harness.SetRowChecked(0, true);
    std::string strFirst, strChosen;
    {
        CDialogAnswerer answer(ERASE_TITLE, [&](HWND hDialog) {
            strFirst = DialogItemText(hDialog, IDC_ERASE_DESCRIPTION);
            ClickButton(hDialog, 1104);  // the last method: zeros, then random data
            strChosen = DialogItemText(hDialog, IDC_ERASE_DESCRIPTION);
            ::PostMessageW(hDialog, WM_COMMAND, IDOK, 0);
        });
        harness.Click(IDC_ERASE);
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_FALSE(strFirst.empty());
    EXPECT_NE(strChosen, strFirst);
    ASSERT_TRUE(harness.WaitJobEnd());
    EXPECT_EQ(harness.RowLamps(0), std::make_pair(LAMP_MAGENTA, LAMP_GREEN));
    const std::vector<uint8_t>& contents = pDisk->Contents();
    EXPECT_NE(contents, CFakeDisk::WithPattern(DISK_SIZE, 1)->Contents());
    EXPECT_FALSE(std::all_of(contents.begin(), contents.end(), [](uint8_t b) { return b == 0; }));
}

// A drive that stops answering in the middle of a read.
void StartHungRead(CWindowHarness& harness, std::shared_ptr<CFakeDisk>& pDisk)
{
    pDisk = harness.AddDisk(1, 64 * 1024 * 1024);
    pDisk->HangReads(2 * 1024 * 1024, 3 * 1024 * 1024, false);
    harness.Open();
    harness.SetRowChecked(0, true);
    harness.SetImagePath(harness.m_temp.File("hung.gmi"));
    harness.Click(IDC_READ);
    ASSERT_TRUE(harness.Dialog().JobRunning());
    ASSERT_TRUE(PumpUntil([&] { return pDisk->HungReads() > 0; }, 10s));
}

bool LogSays(CWindowHarness& harness, const char* pszText)
{
    harness.Dialog().FlushDisplay();
    return harness.Dialog().LogText().find(pszText) != std::string::npos;
}

// The job's pre-flight runs before any question: a refused job starts
// nothing, asks nothing and says why in the log, naming the row's drive.
TEST(WindowPreflight, ARefusedJobAsksNothingStartsNothingAndSaysWhyInTheLog)
{
    CWindowHarness harness;
    const auto pDisk = harness.AddDisk(1);
    harness.Open();
    harness.SetRowChecked(0, true);
    const std::string strFolder = harness.m_temp.File("folder.gmi");
    std::filesystem::create_directory(harness.m_temp.Path() / "folder.gmi");
    harness.SetImagePath(strFolder);
    harness.Click(IDC_READ);
    EXPECT_FALSE(harness.Dialog().JobRunning());
    EXPECT_TRUE(PumpUntil([&] { return LogSays(harness, "exists and is not a regular file."); }, 5s));
    EXPECT_TRUE(LogSays(harness, ("[ERROR] can't create file " + strFolder).c_str()));

    const std::string strImage = harness.m_temp.File("source.gmi");
    WriteWholeFile(strImage, std::vector<uint8_t>(DISK_SIZE, 0x5A));
    harness.SetImagePath(strImage);
    ASSERT_TRUE(harness.Enabled(IDC_WRITE));
    pDisk->FailOpen(ERROR_ACCESS_DENIED);  // after the drive list was built
    {
        CDialogAnswerer answer(CONFIRM_TITLE, [](HWND hDialog) { ::PostMessageW(hDialog, WM_COMMAND, IDOK, 0); });
        harness.Click(IDC_WRITE);
        EXPECT_TRUE(PumpUntil([&] { return LogSays(harness, "[ERROR] can't open disk DISK #1: "); }, 5s));
        EXPECT_FALSE(answer.Answered());
    }
    EXPECT_FALSE(harness.Dialog().JobRunning());
    EXPECT_FALSE(LogSays(harness, "START."));
    EXPECT_EQ(harness.Dialog().RowState(0), 0u);
    EXPECT_EQ(pDisk->Contents(), CFakeDisk::WithPattern(DISK_SIZE, 1)->Contents());
}

TEST(WindowStop, StopDuringAHungReadAnswersAtOnceAndTheJobEndsWhenTheDriveDoes)
{
    CWindowHarness harness;
    std::shared_ptr<CFakeDisk> pDisk;
    StartHungRead(harness, pDisk);
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
    EXPECT_TRUE(PumpUntil([&] { return LogSays(harness, "a drive does not answer"); }, 5s));
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
    StartHungRead(harness, pDisk);
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
