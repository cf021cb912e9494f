// Volume locks from the window: the settings' start-up lock of a letter
// and the rows' LOCK switches, with the lock mark in the drive list.
#include <windows.h>

#include <gtest/gtest.h>

#include "drives/drive_kind.h"
#include "drives/settings_keys.h"
#include "ui/model/control_ids.h"
#include "ui/win32/resource.h"
#include "tests/ui/win32/window_harness.h"

namespace {

class WindowLocks : public ::testing::Test {
protected:
    // Disk 1 holds volume E:, which opens as its own fake.
    void SetUp() override
    {
        m_pDisk1 = m_harness.AddDisk(1);
        m_pVolume = CFakeDisk::WithPattern(1024 * 1024, 9);
        m_harness.m_devices.Add("\\\\.\\E:", m_pVolume);
        m_harness.m_scanner.MountLetter("E", "\\\\?\\Volume{e}\\", DRIVE_TYPE_FIXED);
        m_harness.m_scanner.SetStorage("\\\\?\\Volume{e}", StorageOnDisk(1, 1));
    }
    std::string ListText() { return m_harness.Dialog().DriveList().at(0).strText; }

    CWindowHarness m_harness;
    std::shared_ptr<CFakeDisk> m_pDisk1;
    std::shared_ptr<CFakeDisk> m_pVolume;
};

TEST_F(WindowLocks, AStartupLockHoldsTheLetterAndIsLoggedWithItsKey)
{
    m_harness.m_pProfile->WriteString(m_harness.m_strSettings, SETTINGS_SECTION, SettingsKey::LockDriveLetters, "e");
    m_harness.Open();
    m_harness.Dialog().FlushDisplay();
    EXPECT_TRUE(m_pVolume->Volume().Locked());
    EXPECT_NE(m_harness.Dialog().LogText().find("Volume E: locked (gravelmoor.ini - LockDriveLetters).\n"),
              std::string::npos)
        << m_harness.Dialog().LogText();
    EXPECT_EQ(ListText().rfind("*DRIVE#01 (E:) ", 0), 0u) << ListText();
}

TEST_F(WindowLocks, TheLockSwitchTakesAndReleasesTheDrivesVolumesAndMarksTheList)
{
    m_harness.Open();
    EXPECT_FALSE(m_pVolume->Volume().Locked());
    EXPECT_EQ(ListText().rfind(" DRIVE#01 (E:) ", 0), 0u) << ListText();
    EXPECT_FALSE(m_harness.Enabled(IDC_ROW_LOCK[0]));  // the row is not checked
    m_harness.SetRowChecked(0, true);
    ASSERT_TRUE(m_harness.Enabled(IDC_ROW_LOCK[0]));

    m_harness.Click(IDC_ROW_LOCK[0]);
    EXPECT_TRUE(m_pVolume->Volume().Locked());
    EXPECT_EQ(ListText().rfind("*DRIVE#01", 0), 0u) << ListText();
    EXPECT_EQ(DialogItemText(m_harness.Window(), IDC_ROW_DRIVE[0]).rfind("*DRIVE#01", 0), 0u);

    m_harness.Click(IDC_ROW_LOCK[0]);
    EXPECT_FALSE(m_pVolume->Volume().Locked());
    EXPECT_EQ(ListText().rfind(" DRIVE#01", 0), 0u) << ListText();
}

TEST_F(WindowLocks, AHeldVolumeIsReleasedWhenTheWindowCloses)
{
    m_harness.m_pProfile->WriteString(m_harness.m_strSettings, SETTINGS_SECTION, SettingsKey::LockDriveLetters, "E");
    m_harness.Open();
    ASSERT_TRUE(m_pVolume->Volume().Locked());
    m_harness.Destroy();
    EXPECT_FALSE(m_pVolume->Volume().Locked());
}

}  // namespace

namespace {

TEST_F(WindowLocks, TheProbeButtonReadsTheDrivesFirstBlockForAWhile)
{
    m_harness.Open();
    m_harness.SetRowChecked(0, true);
    const uint32_t nBefore = m_pDisk1->ReadsAt(0);
    m_harness.Click(IDC_ROW_PROBE[0]);
    EXPECT_TRUE(PumpUntil([this, nBefore] { return m_pDisk1->ReadsAt(0) > nBefore + 2; }, std::chrono::seconds(3)));
}

TEST_F(WindowLocks, TheEjectButtonOfARemovableDriveEjectsItsMedium)
{
    m_harness.m_scanner.MountLetter("E", "\\\\?\\Volume{e}\\", DRIVE_TYPE_REMOVABLE);
    m_harness.Open();
    EXPECT_FALSE(m_harness.Enabled(IDC_ROW_EJECT[0]));
    m_harness.SetRowChecked(0, true);
    ASSERT_TRUE(m_harness.Enabled(IDC_ROW_EJECT[0]));
    m_harness.Click(IDC_ROW_EJECT[0]);
    EXPECT_EQ(m_pVolume->Volume().RequestCount(EFakeRequest::Eject), 1u);
    EXPECT_FALSE(m_pVolume->Volume().MediaPresent());
}

TEST_F(WindowLocks, AFixedDrivesEjectButtonStaysDisabled)
{
    m_harness.Open();
    m_harness.SetRowChecked(0, true);
    EXPECT_FALSE(m_harness.Enabled(IDC_ROW_EJECT[0]));
    EXPECT_TRUE(m_harness.Enabled(IDC_ROW_PROBE[0]));
}

}  // namespace

namespace {

TEST_F(WindowLocks, HidingADriveLetterInTheSetupDialogTakesItsDiskOffTheList)
{
    m_harness.AddDisk(2);
    m_harness.Open();
    ASSERT_EQ(m_harness.Dialog().DriveList().size(), 2u);
    {
        CDialogAnswerer answer("初期設定", [](HWND hDialog) {
            ::SendMessageW(::GetDlgItem(hDialog, IDC_SETUP_HIDE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"e"));
            ::PostMessageW(hDialog, WM_COMMAND, IDOK, 0);
        });
        ::SendMessageW(m_harness.Window(), WM_SYSCOMMAND, IDM_SETUP, 0);
        EXPECT_TRUE(answer.Answered());
    }
    ASSERT_EQ(m_harness.Dialog().DriveList().size(), 1u);
    EXPECT_EQ(m_harness.Dialog().DriveList()[0].nNumber, 2u);
    EXPECT_EQ(::SendMessageW(m_harness.Item(IDC_ROW_DRIVE[0]), CB_GETCOUNT, 0, 0), 1);
}

}  // namespace
