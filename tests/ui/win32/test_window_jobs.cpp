// Jobs started from the main window: read, write, erase, a failing drive,
// and a stop and the window's closing while a drive does not answer.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "drives/drive_kind.h"
#include "drives/settings_keys.h"
#include "engine/erase/erase_methods.h"
#include "ui/model/control_ids.h"
#include "ui/model/row_lamps.h"
#include "ui/model/row_state.h"
#include "ui/win32/resource.h"
#include "tests/ui/win32/window_harness.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* CONFIRM_TITLE = "確認";
constexpr const char* ERASE_TITLE = "ドライブ消去（代替セクタは消去出来ません）";

TEST(WindowReadJob, ReadsTheRowsDriveIntoTheImageAndEndsWithOkLamps)
{
    CWindowHarness harness;
    const auto pDisk = harness.AddDisk(1);
    harness.Open();
    harness.SetRowChecked(0, true);
    const std::string strImage = harness.m_temp.File("read.gmi");
    harness.SetImagePath(strImage);
    ASSERT_TRUE(harness.Enabled(IDC_READ));
    harness.Click(IDC_READ);
    EXPECT_TRUE(harness.Dialog().JobRunning() || harness.Dialog().RowState(0) != 0);
    ASSERT_TRUE(harness.WaitJobEnd());

    EXPECT_EQ(ReadWholeFile(strImage), pDisk->Contents());
    EXPECT_EQ(harness.RowLamps(0), std::make_pair(LAMP_GREEN, LAMP_GREEN));
    EXPECT_EQ(harness.Dialog().RowState(0) & (ROWSTATE_DONE | ROWSTATE_FAILED | ROWSTATE_BUSY), ROWSTATE_DONE);
    const std::string strLog = harness.Dialog().LogText();
    EXPECT_NE(strLog.find("GRAVELMOOR=OK"), std::string::npos) << strLog;
    // Idle again: the image now exists and can be verified against the drive.
    EXPECT_TRUE(harness.Enabled(IDC_READ));
    EXPECT_TRUE(harness.Enabled(IDC_VERIFY));
    EXPECT_FALSE(harness.Enabled(IDC_STOP));
    EXPECT_EQ(harness.Dialog().ProgressText(IDC_IMAGE_PROGRESS), std::to_string(DISK_SIZE));
    // The path went into the history.
    EXPECT_EQ(::SendMessageW(harness.Item(IDC_IMAGE_PATH), CB_GETCOUNT, 0, 0), 1);
}

TEST(WindowVerifyJob, AnImageComparedWithItsDriveEndsWithVerifyLampsAndAChangedDriveFails)
{
    CWindowHarness harness;
    const auto pDisk = harness.AddDisk(1);
    harness.Open();
    const std::string strImage = harness.m_temp.File("same.gmi");
    WriteWholeFile(strImage, pDisk->Contents());
    harness.SetRowChecked(0, true);
    harness.SetImagePath(strImage);
    ASSERT_TRUE(harness.Enabled(IDC_VERIFY));
    harness.Click(IDC_VERIFY);
    ASSERT_TRUE(harness.WaitJobEnd());
    EXPECT_EQ(harness.RowLamps(0), std::make_pair(LAMP_YELLOW, LAMP_GREEN));
    EXPECT_NE(harness.Dialog().LogText().find("VERIFY=OK"), std::string::npos);

    // Another file: the window is reading the first one again for its digest.
    std::vector<uint8_t> changed = pDisk->Contents();
    changed[DISK_SIZE / 2] ^= 0x01;
    const std::string strChanged = harness.m_temp.File("changed.gmi");
    WriteWholeFile(strChanged, changed);
    harness.SetImagePath(strChanged);
    ASSERT_TRUE(harness.Enabled(IDC_VERIFY));
    harness.Click(IDC_VERIFY);
    ASSERT_TRUE(harness.WaitJobEnd());
    EXPECT_EQ(harness.RowLamps(0), std::make_pair(LAMP_YELLOW, LAMP_RED));
    EXPECT_NE(harness.Dialog().LogText().find("VERIFY=NG"), std::string::npos);
}

TEST(WindowVerifyJob, ACdromIsOfferedVerifyForAnImageAsLargeAsTheFileSystemOnItsDisc)
{
    CWindowHarness harness;
    constexpr uint64_t FILE_SYSTEM_SIZE = DISK_SIZE / 2;
    const auto pDisc = CFakeDisk::WithPattern(DISK_SIZE, 5);  // the device's length is larger
    pDisc->Volume().SetStorageDescriptor({"GM", "FakeDisc", "1.0", "S", false});
    harness.m_devices.Add("\\\\.\\CDROM0", pDisc);
    harness.m_scanner.SetDrivePath(DRIVE_KIND_CDROM, 0, "\\\\.\\CDROM0");
    harness.m_scanner.MountLetter("D", "\\\\?\\Volume{d}\\", DRIVE_TYPE_CDROM);
    harness.m_scanner.SetStorage("\\\\?\\Volume{d}\\", StorageOfDrive(DRIVE_KIND_CDROM, 0));
    harness.m_scanner.SetFileSystemTotalBytes("D", FILE_SYSTEM_SIZE);
    ASSERT_TRUE(harness.m_pProfile->WriteString(harness.m_strSettings, SETTINGS_SECTION, SettingsKey::ShowCDROM, "1"));
    harness.Open();
    harness.SetRowChecked(0, true);
    for (const auto& [nSize, bVerify] : {std::pair{FILE_SYSTEM_SIZE, true}, {DISK_SIZE, false}}) {
        const std::string strImage = harness.m_temp.File(std::to_string(nSize) + ".gmi");
        WriteWholeFile(strImage, std::vector<uint8_t>(nSize));
        harness.SetImagePath(strImage);
        EXPECT_EQ(harness.Enabled(IDC_VERIFY), bVerify) << nSize;
        EXPECT_FALSE(harness.Enabled(IDC_WRITE));  // nothing is written to a CD-ROM
    }
}

TEST(WindowReadJob, AFailingDriveEndsWithTheFailedLampAndAnErrorLine)
{
    CWindowHarness harness;
    harness.AddDisk(1)->FailReads(0x100000, 0x200000, 23);  // ERROR_CRC
    harness.Open();
    harness.SetRowChecked(0, true);
    harness.SetImagePath(harness.m_temp.File("bad.gmi"));
    harness.Click(IDC_READ);
    ASSERT_TRUE(harness.WaitJobEnd());
    EXPECT_EQ(harness.RowLamps(0), std::make_pair(LAMP_GREEN, LAMP_RED));
    EXPECT_EQ(harness.Dialog().RowState(0) & (ROWSTATE_DONE | ROWSTATE_FAILED), ROWSTATE_FAILED);
    const std::string strLog = harness.Dialog().LogText();
    EXPECT_NE(strLog.find("[ERROR] "), std::string::npos) << strLog;
    EXPECT_NE(strLog.find("GRAVELMOOR=NG"), std::string::npos) << strLog;
}

TEST(WindowWriteJob, WritesTheImageToTwoDrivesOnceConfirmed)
{
    CWindowHarness harness;
    const auto pDisk1 = harness.AddDisk(1);
    const auto pDisk2 = harness.AddDisk(2);
    harness.Open();
    std::vector<uint8_t> image(DISK_SIZE);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>((i * 7) ^ (i >> 12));
    const std::string strImage = harness.m_temp.File("source.gmi");
    WriteWholeFile(strImage, image);
    harness.SetRowChecked(0, true);
    harness.SetRowChecked(1, true);
    harness.SetImagePath(strImage);
    ASSERT_TRUE(harness.Enabled(IDC_WRITE));

    std::string strLines;
    {
        CDialogAnswerer answer(CONFIRM_TITLE, [&](HWND hDialog) {
            strLines = DialogItemText(hDialog, IDC_OVERWRITE_DRIVES);
            ::PostMessageW(hDialog, WM_COMMAND, IDOK, 0);
        });
        harness.Click(IDC_WRITE);
        EXPECT_TRUE(answer.Answered());
    }
    ASSERT_TRUE(harness.WaitJobEnd());
    EXPECT_NE(strLines.find("DRIVE#01"), std::string::npos) << strLines;
    EXPECT_NE(strLines.find("DRIVE#02"), std::string::npos) << strLines;
    std::string strSizeLine = "(";
    strSizeLine.append(std::to_string(DISK_SIZE)).append(")\n");
    EXPECT_NE(strLines.find(strSizeLine), std::string::npos) << strLines;
    EXPECT_EQ(pDisk1->Contents(), image);
    EXPECT_EQ(pDisk2->Contents(), image);
    EXPECT_EQ(harness.RowLamps(0), std::make_pair(LAMP_RED, LAMP_GREEN));
    EXPECT_EQ(harness.RowLamps(1), std::make_pair(LAMP_RED, LAMP_GREEN));
}

TEST(WindowWriteJob, CancellingTheConfirmationStartsNothing)
{
    CWindowHarness harness;
    const auto pDisk = harness.AddDisk(1);
    harness.Open();
    const std::string strImage = harness.m_temp.File("source.gmi");
    WriteWholeFile(strImage, std::vector<uint8_t>(DISK_SIZE, 0x5A));
    harness.SetRowChecked(0, true);
    harness.SetImagePath(strImage);
    {
        CDialogAnswerer answer(CONFIRM_TITLE, [](HWND hDialog) { ::PostMessageW(hDialog, WM_COMMAND, IDCANCEL, 0); });
        harness.Click(IDC_WRITE);
        EXPECT_TRUE(answer.Answered());
    }
    PumpFor(300ms);
    EXPECT_FALSE(harness.Dialog().JobRunning());
    EXPECT_EQ(harness.Dialog().RowState(0), 0u);
    EXPECT_EQ(pDisk->Contents()[0], CFakeDisk::WithPattern(16, 1)->Contents()[0]);
}

TEST(WindowWriteJob, OneFailingTargetIsMarkedFailedWhileTheOtherSucceeds)
{
    CWindowHarness harness;
    const auto pGood = harness.AddDisk(1);
    harness.AddDisk(2)->FailWrites(0x200000, 0x300000, 5);
    harness.Open();
    const std::vector<uint8_t> image(DISK_SIZE, 0xC3);
    const std::string strImage = harness.m_temp.File("source.gmi");
    WriteWholeFile(strImage, image);
    harness.SetRowChecked(0, true);
    harness.SetRowChecked(1, true);
    harness.SetImagePath(strImage);
    {
        CDialogAnswerer answer(CONFIRM_TITLE, [](HWND hDialog) { ::PostMessageW(hDialog, WM_COMMAND, IDOK, 0); });
        harness.Click(IDC_WRITE);
    }
    ASSERT_TRUE(harness.WaitJobEnd());
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
    std::string strFirst, strChosen, strLines;
    {
        CDialogAnswerer answer(ERASE_TITLE, [&](HWND hDialog) {
            strFirst = DialogItemText(hDialog, IDC_ERASE_DESCRIPTION);
            strLines = DialogItemText(hDialog, IDC_ERASE_DRIVES);
            ClickButton(hDialog, 1104);
            strChosen = DialogItemText(hDialog, IDC_ERASE_DESCRIPTION);
            ::PostMessageW(hDialog, WM_COMMAND, IDOK, 0);
        });
        harness.Click(IDC_ERASE);
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_EQ(strFirst, "全体に0x00を書き込む");
    EXPECT_EQ(strChosen, "ロシア GOST R 50739-95 準拠\n0x00⇒乱数");
    EXPECT_EQ(std::count(strLines.begin(), strLines.end(), '\n'), 1) << strLines;
    EXPECT_EQ(harness.Dialog().EraseMethod(), 0xB0);
    ASSERT_TRUE(harness.WaitJobEnd());
    EXPECT_EQ(harness.RowLamps(0), std::make_pair(LAMP_MAGENTA, LAMP_GREEN));
    // The last pass wrote random data: neither the old contents nor zeros.
    const std::vector<uint8_t>& contents = pDisk->Contents();
    EXPECT_NE(contents, CFakeDisk::WithPattern(DISK_SIZE, 1)->Contents());
    EXPECT_FALSE(std::all_of(contents.begin(), contents.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_NE(harness.Dialog().LogText().find("ERASE=OK"), std::string::npos);
}

TEST(WindowEraseJob, TheFirstMethodAtOnceZeroesTheDrive)
{
    CWindowHarness harness;
    const auto pDisk = harness.AddDisk(1);
    harness.Open();
    harness.SetRowChecked(0, true);
    {
        CDialogAnswerer answer(ERASE_TITLE, [](HWND hDialog) { ::PostMessageW(hDialog, WM_COMMAND, IDOK, 0); });
        harness.Click(IDC_ERASE);
    }
    EXPECT_EQ(harness.Dialog().EraseMethod(), ERASE_ZERO);
    ASSERT_TRUE(harness.WaitJobEnd());
    EXPECT_EQ(pDisk->Contents(), std::vector<uint8_t>(DISK_SIZE, 0));
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
    EXPECT_TRUE(harness.Enabled(IDC_STOP));
    EXPECT_FALSE(harness.Enabled(IDC_CLOSE));
    EXPECT_FALSE(harness.Enabled(IDC_ROW_ENABLE[0]));
    const auto start = std::chrono::steady_clock::now();
    harness.Click(IDC_STOP);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);  // the window did not wait for the job
    EXPECT_FALSE(harness.Enabled(IDC_STOP));
    EXPECT_TRUE(PumpUntil([&] { return LogSays(harness, "a drive does not answer"); }, 5s));
    EXPECT_TRUE(LogSays(harness, "the job is stopping."));
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
    EXPECT_NE(harness.Window(), nullptr);
    EXPECT_TRUE(harness.Dialog().JobRunning());
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
