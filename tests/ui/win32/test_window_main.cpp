// The main window without a job: the settings file, the log under a flood
// of messages, the setup dialog and the image's checksum.
#include <windows.h>

#include <gtest/gtest.h>

#include "drives/settings_keys.h"
#include "engine/checksum/md5sum_file.h"
#include "engine/core/md5.h"
#include "engine/core/notify.h"
#include "ui/model/control_ids.h"
#include "ui/model/row_state.h"
#include "ui/win32/resource.h"
#include "tests/ui/win32/window_harness.h"

namespace {

using namespace std::chrono_literals;

TEST(MainWindowSettings, OnlyTheCloseButtonSavesAndTheNextWindowReadsItBack)
{
    CWindowHarness harness;
    harness.AddDisk(1);
    harness.AddDisk(2);
    harness.Open();
    harness.Click(IDC_OPT_VERIFY);
    ::SendMessageW(harness.Window(), WM_CLOSE, 0, 0);  // the close box
    EXPECT_EQ(harness.Dialog().EndResult(), IDCANCEL);
    EXPECT_EQ(harness.m_pProfile->GetInt(harness.m_strSettings, SETTINGS_SECTION, "OptVerify", -5), -5);

    harness.Open();
    harness.SetRowChecked(1, true);
    harness.ChooseDrive(1, 1);
    harness.Click(IDC_OPT_FORCE_WRITE);
    harness.Click(IDC_OPT_UNSTABLE_READ);
    harness.Click(IDC_CLOSE);
    EXPECT_EQ(harness.Dialog().EndResult(), IDOK);
    EXPECT_EQ(harness.Window(), nullptr);
    harness.Open();
    EXPECT_TRUE(harness.Checked(IDC_ROW_ENABLE[1]));
    EXPECT_EQ(harness.RowSelection(1), 1);
    EXPECT_TRUE(harness.Checked(IDC_OPT_FORCE_WRITE));
    EXPECT_FALSE(harness.Checked(IDC_OPT_UNSTABLE_READ));  // never kept
}

TEST(MainWindowLog, AFloodOfLinesArrivesWholeAndInOrderAndProgressShowsTheLastReport)
{
    CWindowHarness harness;
    harness.Open();
    const HWND hWnd = harness.Window();
    for (int i = 0; i < 3000; ++i) {
        char* pszText = NewHeapString("line " + std::to_string(i) + "\n");
        ASSERT_TRUE(::PostMessageW(hWnd, WM_ENGINE_LOG, i == 7 ? 0x80000000u | 0x0000FF : 0xFFFFFF,
                                   reinterpret_cast<LPARAM>(pszText)));
        ::PostMessageW(hWnd, WM_ENGINE_PROGRESS, PROGRESS_TOTAL, i % 1001);
    }
    ::PostMessageW(hWnd, WM_ENGINE_PROGRESS, PROGRESS_TOTAL, 1000);
    ::PostMessageW(hWnd, WM_ENGINE_PROGRESS, PROGRESS_REMAIN, 3600);
    PumpFor(300ms);
    harness.Dialog().FlushDisplay();
    const std::string strLog = harness.Dialog().LogText();
    EXPECT_NE(strLog.find("line 0\nline 1\n"), std::string::npos);
    EXPECT_NE(strLog.find("[ERROR] line 7\nline 8\n"), std::string::npos);
    EXPECT_NE(strLog.find("line 2998\nline 2999\n"), std::string::npos);
    EXPECT_EQ(harness.Dialog().ProgressText(IDC_TOTAL_PROGRESS), "100.0%");
    EXPECT_EQ(harness.Text(IDC_REMAIN), "1時間0分");
}

TEST(WindowSetupDialog, CancelWritesNothingAndOkWritesEveryKeyAndRebuildsTheList)
{
    CWindowHarness harness;
    harness.AddDisk(1);
    harness.AddDisk(2);
    harness.m_devices.Add("\\\\.\\E:", CFakeDisk::WithPattern(1024 * 1024, 9));
    harness.m_scanner.MountLetter("E", "\\\\?\\Volume{e}\\", DRIVE_TYPE_FIXED);
    harness.m_scanner.SetStorage("\\\\?\\Volume{e}", StorageOnDisk(1, 1));
    harness.Open();
    IProfileStore& store = *harness.m_pProfile;
    const std::string& strPath = harness.m_strSettings;
    auto setup = [&](int nButton) {
        CDialogAnswerer answer("初期設定", [nButton](HWND hDialog) {
            ::SetDlgItemTextW(hDialog, IDC_SETUP_BUFFER, L"64");
            ::SetDlgItemTextW(hDialog, IDC_SETUP_HIDE, L"e");
            ClickButton(hDialog, IDC_SETUP_SHOW_CDROM);
            ::PostMessageW(hDialog, WM_COMMAND, nButton, 0);
        });
        ::SendMessageW(harness.Window(), WM_SYSCOMMAND, IDM_SETUP, 0);
        EXPECT_TRUE(answer.Answered());
    };
    setup(IDCANCEL);
    EXPECT_EQ(store.GetString(strPath, SETTINGS_SECTION, SettingsKey::Buffer, "none", 255), "none");
    EXPECT_EQ(harness.Dialog().DriveList().size(), 2u);
    setup(IDOK);
    EXPECT_EQ(store.GetString(strPath, SETTINGS_SECTION, SettingsKey::Buffer, "", 255), "64");
    EXPECT_EQ(store.GetInt(strPath, SETTINGS_SECTION, SettingsKey::ShowCDROM, -1), 1);
    EXPECT_EQ(store.GetInt(strPath, SETTINGS_SECTION, "OptVerify", -1), 0) << "the window's options are saved too";
    // E: is hidden, and with it the disk it lives on.
    ASSERT_EQ(harness.Dialog().DriveList().size(), 1u);
    EXPECT_EQ(harness.Dialog().DriveList()[0].nNumber, 2u);
    EXPECT_TRUE(harness.Enabled(IDC_CLOSE));
}

TEST(WindowChecksum, AChosenImageShowsItsSizeAndDigestAndTheMd5sumFilesVerdict)
{
    CWindowHarness harness;
    std::vector<uint8_t> image(3 * 1024 * 1024 + 17);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    const std::string strImage = harness.m_temp.File("image.gmi");
    WriteWholeFile(strImage, image);
    CMd5 md5;
    md5.Update(image.data(), image.size());
    T_MD5_DIGEST digest = md5.Final();
    harness.Open();
    // Chooses the image afresh; the verdict it shows once its digest is in.
    const auto verdictAfterChoosing = [&](const std::string& strExpected) {
        harness.SetImagePath("");
        EXPECT_EQ(harness.Text(IDC_IMAGE_DIGEST), "");
        harness.SetImagePath(strImage);
        EXPECT_EQ(harness.Dialog().ProgressText(IDC_IMAGE_PROGRESS), std::to_string(image.size()));
        EXPECT_TRUE(PumpUntil([&] { return harness.Text(IDC_IMAGE_DIGEST).size() == 32; }, 20s));
        PumpUntil([&] { return harness.Text(IDC_IMAGE_VERDICT) == strExpected; }, strExpected.empty() ? 200ms : 5s);
        return harness.Text(IDC_IMAGE_VERDICT);
    };
    EXPECT_EQ(verdictAfterChoosing(""), "") << "no .md5sum file";
    EXPECT_EQ(harness.Text(IDC_IMAGE_DIGEST), Md5Text(digest));
    uint32_t nError = 0;
    ASSERT_TRUE(WriteMd5SumFile(harness.m_devices, strImage, digest, nError));
    EXPECT_EQ(verdictAfterChoosing("OK"), "OK");
    digest[0] ^= 0xFF;
    ASSERT_TRUE(WriteMd5SumFile(harness.m_devices, strImage, digest, nError));
    EXPECT_EQ(verdictAfterChoosing("NG"), "NG");
}

}  // namespace
