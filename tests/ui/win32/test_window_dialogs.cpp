// The window's smaller dialogs and the image file's checksum: the setup
// dialog writes the settings (and Cancel writes nothing), the version
// dialog shows the program's version, and a chosen image gets its digest
// and its .md5sum verdict.
#include <windows.h>

#include <gtest/gtest.h>

#include "drives/settings_keys.h"
#include "engine/checksum/md5sum_file.h"
#include "engine/core/md5.h"
#include "ui/model/control_ids.h"
#include "ui/win32/resource.h"
#include "tests/ui/win32/window_harness.h"

namespace {

using namespace std::chrono_literals;

void SetItem(HWND hDialog, int nId, const wchar_t* pszText)
{
    ::SendMessageW(::GetDlgItem(hDialog, nId), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszText));
}

TEST(WindowSetupDialog, OkWritesEveryKeyAsShownAndTheWindowReadsThemAgain)
{
    CWindowHarness harness;
    harness.AddDisk(1);
    harness.Open();
    std::string strBufferShown;
    {
        CDialogAnswerer answer("初期設定", [&](HWND hDialog) {
            strBufferShown = DialogItemText(hDialog, IDC_SETUP_BUFFER);
            SetItem(hDialog, IDC_SETUP_BUFFER, L"64");
            SetItem(hDialog, IDC_SETUP_NO_SCAN, L"ab1");
            ClickButton(hDialog, IDC_SETUP_SHOW_CDROM);
            ::PostMessageW(hDialog, WM_COMMAND, IDOK, 0);
        });
        ::SendMessageW(harness.Window(), WM_SYSCOMMAND, IDM_SETUP, 0);
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_EQ(strBufferShown, "16");
    IProfileStore& store = *harness.m_pProfile;
    const std::string& strPath = harness.m_strSettings;
    EXPECT_EQ(store.GetString(strPath, SETTINGS_SECTION, SettingsKey::Buffer, "", 255), "64");
    EXPECT_EQ(store.GetString(strPath, SETTINGS_SECTION, SettingsKey::NoScanDriveLetters, "", 255), "ab1");
    EXPECT_EQ(store.GetInt(strPath, SETTINGS_SECTION, SettingsKey::ShowCDROM, -1), 1);
    EXPECT_EQ(store.GetInt(strPath, SETTINGS_SECTION, SettingsKey::ShowFLOPPY, -1), 0);
    // The window's own options were saved with it, and its drive list is back.
    EXPECT_EQ(store.GetInt(strPath, SETTINGS_SECTION, "OptVerify", -1), 0);
    EXPECT_EQ(harness.Dialog().DriveList().size(), 1u);
    EXPECT_TRUE(harness.Enabled(IDC_CLOSE));
}

TEST(WindowSetupDialog, CancelWritesNothing)
{
    CWindowHarness harness;
    harness.Open();
    {
        CDialogAnswerer answer("初期設定", [&](HWND hDialog) {
            SetItem(hDialog, IDC_SETUP_BUFFER, L"64");
            ::PostMessageW(hDialog, WM_COMMAND, IDCANCEL, 0);
        });
        ::SendMessageW(harness.Window(), WM_SYSCOMMAND, IDM_SETUP, 0);
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_EQ(harness.m_pProfile->GetString(harness.m_strSettings, SETTINGS_SECTION, SettingsKey::Buffer, "none", 255),
              "none");
}

TEST(WindowVersionDialog, ShowsTheProductLineWithBuildAndDateAndTheCopyright)
{
    CWindowHarness harness;
    harness.Open();
    std::string strProduct, strCopyright, strTitle;
    {
        CDialogAnswerer answer("バージョン情報 Gravelmoor 64bit", [&](HWND hDialog) {
            strProduct = DialogItemText(hDialog, IDC_ABOUT_PRODUCT);
            strCopyright = DialogItemText(hDialog, IDC_ABOUT_COPYRIGHT);
            ::PostMessageW(hDialog, WM_COMMAND, IDOK, 0);
        });
        ::SendMessageW(harness.Window(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_EQ(strProduct, "Gravelmoor V.0.1.0 build 1 (2026/12/07 #1)");
    EXPECT_EQ(strCopyright.rfind("Copyright (C) ", 0), 0u);
}

class WindowChecksum : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_image.resize(3 * 1024 * 1024 + 17);
        for (size_t i = 0; i < m_image.size(); ++i) m_image[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
        m_strImage = m_harness.m_temp.File("image.gmi");
        WriteWholeFile(m_strImage, m_image);
        CMd5 md5;
        md5.Update(m_image.data(), m_image.size());
        m_digest = md5.Final();
        m_harness.Open();
    }
    bool WaitDigest()
    {
        return PumpUntil([this] { return m_harness.Text(IDC_IMAGE_DIGEST).size() == 32; }, 20s);
    }

    CWindowHarness m_harness;
    std::vector<uint8_t> m_image;
    std::string m_strImage;
    T_MD5_DIGEST m_digest{};
};

TEST_F(WindowChecksum, AChosenImageShowsItsSizeAndDigestAndNoVerdictWithoutMd5sumFile)
{
    m_harness.SetImagePath(m_strImage);
    EXPECT_EQ(m_harness.Dialog().ProgressText(IDC_IMAGE_PROGRESS), std::to_string(m_image.size()));
    ASSERT_TRUE(WaitDigest());
    EXPECT_EQ(m_harness.Text(IDC_IMAGE_DIGEST), Md5Text(m_digest));
    PumpFor(200ms);
    EXPECT_EQ(m_harness.Text(IDC_IMAGE_VERDICT), "");
}

TEST_F(WindowChecksum, TheMd5sumFileGivesOkWhenItAgreesAndNgWhenItDoesNot)
{
    uint32_t nError = 0;
    ASSERT_TRUE(WriteMd5SumFile(m_harness.m_devices, m_strImage, m_digest, nError));
    m_harness.SetImagePath(m_strImage);
    ASSERT_TRUE(WaitDigest());
    EXPECT_TRUE(PumpUntil([this] { return m_harness.Text(IDC_IMAGE_VERDICT) == "OK"; }, 5s));

    T_MD5_DIGEST wrong = m_digest;
    wrong[0] ^= 0xFF;
    ASSERT_TRUE(WriteMd5SumFile(m_harness.m_devices, m_strImage, wrong, nError));
    m_harness.SetImagePath("");
    EXPECT_EQ(m_harness.Text(IDC_IMAGE_DIGEST), "");
    m_harness.SetImagePath(m_strImage);
    ASSERT_TRUE(WaitDigest());
    EXPECT_TRUE(PumpUntil([this] { return m_harness.Text(IDC_IMAGE_VERDICT) == "NG"; }, 5s));
}

TEST_F(WindowChecksum, AMissingImageDisablesWriteAndVerifyAndShowsNoSize)
{
    m_harness.AddDisk(1);
    m_harness.Destroy();
    m_harness.Open();
    m_harness.SetRowChecked(0, true);
    m_harness.SetImagePath(m_harness.m_temp.File("absent.gmi"));
    EXPECT_EQ(m_harness.Dialog().ProgressText(IDC_IMAGE_PROGRESS), "");
    EXPECT_FALSE(m_harness.Enabled(IDC_WRITE));
    EXPECT_FALSE(m_harness.Enabled(IDC_VERIFY));
    EXPECT_TRUE(m_harness.Enabled(IDC_READ));
}

}  // namespace
