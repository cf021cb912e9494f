// The main window as it opens, its rows, its options and its settings file.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "drives/settings_keys.h"
#include "engine/core/notify.h"
#include "jobs/dump_task_param.h"
#include "ui/model/control_ids.h"
#include "ui/model/row_lamps.h"
#include "ui/win32/resource.h"
#include "tests/ui/win32/window_harness.h"

namespace {

using namespace std::chrono_literals;

// The controls and libraries every window of the test needs, set up once.
class CWindowEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
        m_hRichEdit = ::LoadLibraryW(L"riched20.dll");
    }
    void TearDown() override
    {
        if (m_hRichEdit) ::FreeLibrary(m_hRichEdit);
    }

private:
    HMODULE m_hRichEdit = nullptr;
};
const ::testing::Environment* const g_pEnvironment = ::testing::AddGlobalTestEnvironment(new CWindowEnvironment);

TEST(MainWindowStart, OpensWithTitleBannerAndEveryRowEmpty)
{
    CWindowHarness harness;
    harness.AddDisk(1);
    harness.Open();
    ASSERT_NE(harness.Window(), nullptr);
    wchar_t szTitle[128] = {};
    ::GetWindowTextW(harness.Window(), szTitle, 128);
    EXPECT_EQ(std::wstring(szTitle).rfind(L"Gravelmoor V.0.1.0", 0), 0u);
    harness.Dialog().FlushDisplay();
    EXPECT_EQ(harness.Dialog().LogText().rfind("Gravelmoor V.0.1.0 build 1 (2026/12/07 #1)\n", 0), 0u);
    // No settings file: the saved keys 0 to 3 match no drive.
    for (int r = 0; r < ROW_COUNT; ++r) {
        EXPECT_EQ(harness.RowSelection(r), -1);
        EXPECT_FALSE(harness.Checked(static_cast<int>(IDC_ROW_ENABLE[static_cast<size_t>(r)])));
        EXPECT_FALSE(harness.Enabled(static_cast<int>(IDC_ROW_DRIVE[static_cast<size_t>(r)])));
        EXPECT_EQ(harness.RowLamps(r), std::make_pair(LAMP_UNLIT, LAMP_UNLIT));
    }
    for (int nId : {IDC_READ, IDC_WRITE, IDC_VERIFY, IDC_ERASE, IDC_STOP}) EXPECT_FALSE(harness.Enabled(nId));
    EXPECT_TRUE(harness.Enabled(IDC_CLOSE));
    EXPECT_EQ(harness.Dialog().DriveList().size(), 1u);
}

TEST(MainWindowRows, CheckingRowsPicksFreeDrivesAndChoosingAnotherRowsDriveExchanges)
{
    CWindowHarness harness;
    harness.AddDisk(1);
    harness.AddDisk(2, 2 * DISK_SIZE);
    harness.Open();
    harness.SetRowChecked(0, true);
    harness.SetRowChecked(1, true);
    EXPECT_EQ(harness.RowSelection(0), 0);
    EXPECT_EQ(harness.RowSelection(1), 1);
    EXPECT_EQ(harness.Dialog().ProgressText(IDC_ROW_PROGRESS[0]), std::to_string(DISK_SIZE));
    EXPECT_EQ(harness.Dialog().ProgressText(IDC_ROW_PROGRESS[1]), std::to_string(2 * DISK_SIZE));
    // A third row finds no free drive.
    harness.SetRowChecked(2, true);
    EXPECT_EQ(harness.RowSelection(2), -1);
    EXPECT_EQ(harness.Dialog().ProgressText(IDC_ROW_PROGRESS[2]), "");

    harness.ChooseDrive(1, 0);
    EXPECT_EQ(harness.RowSelection(1), 0);
    EXPECT_EQ(harness.RowSelection(0), 1);
    EXPECT_EQ(harness.Dialog().ProgressText(IDC_ROW_PROGRESS[0]), std::to_string(2 * DISK_SIZE));
    // The list text names each disk with its size.
    const std::string strText = harness.Dialog().DriveList()[0].strText;
    EXPECT_NE(strText.find("DRIVE#01 (--) (  4.00MiB) GM"), std::string::npos) << strText;
}

TEST(MainWindowRows, ReadWantsExactlyOneReadyRowAndAnImagePath)
{
    CWindowHarness harness;
    harness.AddDisk(1);
    harness.AddDisk(2);
    harness.Open();
    harness.SetRowChecked(0, true);
    EXPECT_FALSE(harness.Enabled(IDC_READ));  // no image path yet
    harness.SetImagePath(harness.m_temp.File("a.gmi"));
    EXPECT_TRUE(harness.Enabled(IDC_READ));
    EXPECT_TRUE(harness.Enabled(IDC_ERASE));
    EXPECT_FALSE(harness.Enabled(IDC_WRITE));  // the image does not exist
    harness.SetRowChecked(1, true);
    EXPECT_FALSE(harness.Enabled(IDC_READ));
    EXPECT_TRUE(harness.Enabled(IDC_ERASE));
}

TEST(MainWindowRows, ADriveWithoutMediumShowsNotReadyAndBlocksItsJobs)
{
    CWindowHarness harness;
    harness.AddDisk(1)->FailLengthRequest(21, true);  // ERROR_NOT_READY
    harness.Open();
    harness.SetRowChecked(0, true);
    harness.SetImagePath(harness.m_temp.File("a.gmi"));
    EXPECT_EQ(harness.Dialog().ProgressText(IDC_ROW_PROGRESS[0]), "NOT READY");
    EXPECT_FALSE(harness.Enabled(IDC_READ));
    EXPECT_FALSE(harness.Enabled(IDC_ERASE));
}

TEST(MainWindowOptions, EjectAndSharedReadExcludeEachOtherAndVerifyCarriesTheMd5Check)
{
    CWindowHarness harness;
    harness.Open();
    harness.Click(IDC_OPT_EJECT);
    EXPECT_TRUE(harness.Checked(IDC_OPT_EJECT));
    harness.Click(IDC_OPT_SHARE_READ);
    EXPECT_TRUE(harness.Checked(IDC_OPT_SHARE_READ));
    EXPECT_FALSE(harness.Checked(IDC_OPT_EJECT));

    EXPECT_FALSE(harness.Enabled(IDC_OPT_MD5_VERIFY));
    harness.Click(IDC_OPT_VERIFY);
    EXPECT_TRUE(harness.Enabled(IDC_OPT_MD5_VERIFY));
    harness.Click(IDC_OPT_MD5_VERIFY);
    EXPECT_TRUE(harness.Checked(IDC_OPT_MD5_VERIFY));
    harness.Click(IDC_OPT_VERIFY);
    EXPECT_FALSE(harness.Checked(IDC_OPT_MD5_VERIFY));
    EXPECT_FALSE(harness.Enabled(IDC_OPT_MD5_VERIFY));
}

TEST(MainWindowSettings, TheCloseButtonSavesAndTheNextWindowReadsItBack)
{
    CWindowHarness harness;
    harness.AddDisk(1);
    harness.AddDisk(2);
    harness.Open();
    harness.SetRowChecked(1, true);
    harness.ChooseDrive(1, 1);
    harness.Click(IDC_OPT_VERIFY);
    harness.Click(IDC_OPT_FORCE_WRITE);
    harness.Click(IDC_OPT_UNSTABLE_READ);
    harness.Click(IDC_CLOSE);
    EXPECT_EQ(harness.Dialog().EndResult(), IDOK);
    EXPECT_EQ(harness.Window(), nullptr);

    IProfileStore& store = *harness.m_pProfile;
    EXPECT_EQ(store.GetInt(harness.m_strSettings, SETTINGS_SECTION, "EnableDrive1", -5), 1);
    EXPECT_EQ(store.GetInt(harness.m_strSettings, SETTINGS_SECTION, "Drive1", -5),
              static_cast<int32_t>((DRIVE_KIND_DISK << 16) + 2));
    EXPECT_EQ(store.GetInt(harness.m_strSettings, SETTINGS_SECTION, "OptVerify", -5), 1);

    harness.Open();
    EXPECT_TRUE(harness.Checked(IDC_ROW_ENABLE[1]));
    EXPECT_EQ(harness.RowSelection(1), 1);
    EXPECT_TRUE(harness.Checked(IDC_OPT_VERIFY));
    EXPECT_TRUE(harness.Checked(IDC_OPT_FORCE_WRITE));
    EXPECT_FALSE(harness.Checked(IDC_OPT_UNSTABLE_READ));  // never kept
}

TEST(MainWindowSettings, TheCloseBoxLeavesTheSettingsFileAlone)
{
    CWindowHarness harness;
    harness.Open();
    harness.Click(IDC_OPT_VERIFY);
    ::SendMessageW(harness.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(harness.Dialog().EndResult(), IDCANCEL);
    EXPECT_EQ(harness.m_pProfile->GetInt(harness.m_strSettings, SETTINGS_SECTION, "OptVerify", -5), -5);
}

TEST(MainWindowDisplay, ManyLogLinesArriveWholeAndInOrderAndProgressShowsTheLastReport)
{
    CWindowHarness harness;
    harness.Open();
    harness.Dialog().FlushDisplay();
    const HWND hWnd = harness.Window();
    for (int i = 0; i < 3000; ++i) {
        char* pszText = NewHeapString("line " + std::to_string(i) + "\n");
        ASSERT_TRUE(::PostMessageW(hWnd, WM_ENGINE_LOG, i == 7 ? 0x80000000u | 0x0000FF : 0xFFFFFF,
                                   reinterpret_cast<LPARAM>(pszText)));
        ::PostMessageW(hWnd, WM_ENGINE_PROGRESS, 0, i % 1001);
    }
    ::PostMessageW(hWnd, WM_ENGINE_PROGRESS, 0, 1000);
    ::PostMessageW(hWnd, WM_ENGINE_PROGRESS, 1, 3600);
    PumpFor(300ms);
    harness.Dialog().FlushDisplay();
    const std::string strLog = harness.Dialog().LogText();
    EXPECT_NE(strLog.find("line 0\nline 1\n"), std::string::npos);
    EXPECT_NE(strLog.find("[ERROR] line 7\nline 8\n"), std::string::npos);
    EXPECT_NE(strLog.find("line 2998\nline 2999\n"), std::string::npos);
    EXPECT_EQ(harness.Dialog().ProgressText(IDC_TOTAL_PROGRESS), "100.0%");
    EXPECT_EQ(harness.Text(IDC_REMAIN), "1時間0分");
}

}  // namespace

namespace {

TEST(MainWindowRefresh, ADeviceArrivalRebuildsTheListAtOnceOtherEventsAfterAPause)
{
    CWindowHarness harness;
    harness.AddDisk(1);
    harness.Open();
    harness.SetRowChecked(0, true);
    ASSERT_EQ(harness.Dialog().DriveList().size(), 1u);
    harness.AddDisk(2);
    ::SendMessageW(harness.Window(), WM_DEVICECHANGE, 0x8000, 0);  // DBT_DEVICEARRIVAL
    EXPECT_EQ(harness.Dialog().DriveList().size(), 2u);
    EXPECT_EQ(harness.RowSelection(0), 0) << "the row keeps its drive";

    harness.AddDisk(3);
    ::SendMessageW(harness.Window(), WM_DEVICECHANGE, 0x0007, 0);  // DBT_DEVNODES_CHANGED
    EXPECT_EQ(harness.Dialog().DriveList().size(), 2u);
    EXPECT_TRUE(PumpUntil([&] { return harness.Dialog().DriveList().size() == 3u; }, 3s));
}

TEST(MainWindowRefresh, ADriveThatWentAndCameBackIsShownAgainInItsRow)
{
    CWindowHarness harness;
    harness.AddDisk(1);
    const auto pDisk2 = harness.AddDisk(2);
    harness.Open();
    harness.SetRowChecked(0, true);
    harness.ChooseDrive(0, 1);
    pDisk2->FailOpen(2);  // disk 2 is gone: ERROR_FILE_NOT_FOUND
    ::SendMessageW(harness.Window(), WM_COMMAND, MAKEWPARAM(IDC_CAPTION_DRIVES, STN_CLICKED), 0);
    EXPECT_EQ(harness.RowSelection(0), -1);
    EXPECT_FALSE(harness.Enabled(IDC_ERASE));
    pDisk2->FailOpen(0);
    ::SendMessageW(harness.Window(), WM_COMMAND, MAKEWPARAM(IDC_CAPTION_DRIVES, STN_CLICKED), 0);
    EXPECT_EQ(harness.RowSelection(0), 1);
    EXPECT_TRUE(harness.Enabled(IDC_ERASE));
}

TEST(MainWindowLog, GivingTheLogTheFocusLeavesNoSelection)
{
    CWindowHarness harness;
    harness.Open();
    harness.Dialog().FlushDisplay();
    const HWND hLog = harness.Item(IDC_LOG);
    ::SendMessageW(hLog, EM_SETSEL, 0, 8);
    ::SetFocus(harness.Item(IDC_CLOSE));
    ::SetFocus(hLog);
    PumpFor(50ms);
    DWORD nStart = 0, nEnd = 0;
    ::SendMessageW(hLog, EM_GETSEL, reinterpret_cast<WPARAM>(&nStart), reinterpret_cast<LPARAM>(&nEnd));
    EXPECT_EQ(nStart, 8u);
    EXPECT_EQ(nEnd, 8u);
}

}  // namespace

namespace {

TEST(MainWindowLog, PastItsLimitTheLogDropsItsOldestLinesAndKeepsTheNewest)
{
    CWindowHarness harness;
    harness.Open();
    const std::string strPad(90, '.');
    for (int nBurst = 0; nBurst < 4; ++nBurst) {
        for (int i = 0; i < 500; ++i) {
            const int n = nBurst * 500 + i;
            std::string strLine = "line ";
            strLine.append(std::to_string(n)).append(strPad).append("\n");
            ::PostMessageW(harness.Window(), WM_ENGINE_LOG, 0xFFFFFF, reinterpret_cast<LPARAM>(NewHeapString(strLine)));
        }
        PumpFor(100ms);
        harness.Dialog().FlushDisplay();
    }
    const std::string strLog = harness.Dialog().LogText();
    EXPECT_LE(strLog.size(), 0x20000u);
    EXPECT_GT(strLog.size(), 0x20000u - 0x2000u) << "only what had to leave has left";
    EXPECT_EQ(strLog.find("Gravelmoor V."), std::string::npos) << "the banner was the oldest line";
    std::string strLast = "line 1999";
    strLast.append(strPad).append("\n");
    EXPECT_EQ(strLog.substr(strLog.size() - strLast.size()), strLast);
    EXPECT_EQ(strLog.find("line "), 0u) << "whole lines leave";
}

}  // namespace

namespace {

// Opens the log's context menu, picks "ログを消去(&E)" by its key and answers
// the question with nAnswer.
bool ClearLogFromMenu(CWindowHarness& harness, int nAnswer)
{
    std::atomic<bool> bMenuSeen{false};
    std::thread menuKeys([&] {
        for (int i = 0; i < 500 && !bMenuSeen; ++i) {
            const HWND hMenu = ::FindWindowW(L"#32768", nullptr);
            if (hMenu && ::IsWindowVisible(hMenu)) {
                bMenuSeen = true;
                ::PostMessageW(hMenu, WM_KEYDOWN, 'E', 0);
                ::PostMessageW(hMenu, WM_CHAR, 'e', 0);
                return;
            }
            std::this_thread::sleep_for(10ms);
        }
    });
    CDialogAnswerer answer("Gravelmoor", [nAnswer](HWND hBox) { ::PostMessageW(hBox, WM_COMMAND, nAnswer, 0); });
    ::SendMessageW(harness.Item(IDC_LOG), WM_RBUTTONDOWN, 0, MAKELPARAM(20, 20));
    menuKeys.join();
    return bMenuSeen && answer.Answered();
}

TEST(MainWindowLog, TheContextMenuClearsTheLogOnlyWhenTheQuestionIsAnsweredYes)
{
    CWindowHarness harness;
    harness.Open();
    harness.Dialog().FlushDisplay();
    const std::string strBefore = harness.Dialog().LogText();
    ASSERT_FALSE(strBefore.empty());
    ASSERT_TRUE(ClearLogFromMenu(harness, IDNO));
    EXPECT_EQ(harness.Dialog().LogText(), strBefore);
    ASSERT_TRUE(ClearLogFromMenu(harness, IDYES));
    EXPECT_EQ(harness.Dialog().LogText(), "");
}

}  // namespace
