// The drive list: which drives are listed (those that open), how each is
// measured and described, and which the settings hide. (Every drive of the
// scripted machine with its text: the list command's test in tests/cli.)
#include <gtest/gtest.h>

#include "drives/drive_list_build.h"
#include "drives/drive_list_text.h"
#include "tests/drives/scripted_machine.h"

namespace {

class DriveListBuildTest : public ::testing::Test, public drive_test::CScriptedMachine {
protected:
    std::vector<std::string> Texts(const T_DRIVE_LIST_OPTIONS& options)
    {
        std::vector<std::string> arrTexts;
        for (const T_ITEM_DATA& item : BuildDriveItems(m_drives, m_scanner, m_devices, options))
            arrTexts.push_back(item.strText);
        return arrTexts;
    }

    CDriveInfo m_drives{m_scanner};
};

TEST_F(DriveListBuildTest, SettingsHideDrivesByLetterByMissingLettersAndByKind)
{
    T_DRIVE_LIST_OPTIONS options;
    options.dwHideLetters = 1u << ('F' - 'A');  // one partition hides the whole disk
    options.bHideNoDriveLetter = true;
    options.bShowCDROM = false;
    EXPECT_EQ(Texts(options), std::vector<std::string>{" DRIVE#00 (C:) (  3.00MiB) ATA     System Disk     "});
}

TEST_F(DriveListBuildTest, AHeldLetterMarksItsDriveAndAFailedLengthRequestShowsItsCode)
{
    AddDrive(DRIVE_KIND_DISK, 2, 1000)->FailLengthRequest(5, false);
    T_DRIVE_LIST_OPTIONS options;
    options.dwLockedLetters = 1u << ('E' - 'A');
    options.dwNoScanLetters = 1u << ('C' - 'A');
    const std::vector<T_ITEM_DATA> arrItems = BuildDriveItems(m_drives, m_scanner, m_devices, options);
    ASSERT_EQ(arrItems.size(), 4u);
    EXPECT_EQ(arrItems[0].strText, " DRIVE#00 (--) (  3.00MiB) ATA     System Disk     ") << "a no-scan letter is not shown";
    EXPECT_EQ(arrItems[1].strText.substr(0, 19), "*DRIVE#01 (E:, F:) ");
    EXPECT_TRUE(arrItems[1].bLocked);
    EXPECT_TRUE(arrItems[1].bRemovable);
    EXPECT_FALSE(arrItems[0].bRemovable);
    EXPECT_EQ(arrItems[2].strText, " DRIVE#02 (--) ERR00000005 ");
    EXPECT_TRUE(arrItems[2].bError);
    EXPECT_TRUE(arrItems[3].bNotReady);
    EXPECT_EQ(arrItems[1].strPath, "fake:disk1");
}

TEST_F(DriveListBuildTest, ACdromWithADiscIsAsLargeAsTheFileSystemOnItsLetter)
{
    AddDrive(DRIVE_KIND_CDROM, 1, 3 << 20);  // the device's own length
    m_scanner.MountLetter("D", "\\\\?\\Volume{D}\\", DRIVE_TYPE_CDROM);
    m_scanner.SetStorage("\\\\?\\Volume{D}\\", StorageOfDrive(DRIVE_KIND_CDROM, 1));
    m_scanner.SetFileSystemTotalBytes("D", 2 << 20);
    const std::vector<T_ITEM_DATA> arrItems = BuildDriveItems(m_drives, m_scanner, m_devices, {});
    ASSERT_EQ(arrItems.size(), 5u);
    EXPECT_EQ(arrItems[4].strText, " CDROM#01 (D:) (  2.00MiB) ");
    EXPECT_EQ(arrItems[4].nSize, 2u << 20);
}

TEST(DriveListText, SizesKeepTheNumberAtAThousandOrBelowAndNamesOtherThanLettersShowAsTheyAre)
{
    EXPECT_EQ(DriveSizeText(1000), "(1000.00B  ) ");
    EXPECT_EQ(DriveSizeText(1001), "(  0.98KiB) ");
    EXPECT_EQ(DriveSizeText(1024000), "(1000.00KiB) ");
    EXPECT_EQ(DriveSizeText(UINT64_MAX), "( 16.00EiB) ");
    EXPECT_EQ(DriveLettersText({"sdb1", "sdb2"}), "(sdb1, sdb2) ");
    T_DRIVE_TEXT floppy;  // a floppy's number has one digit and no names are shown
    floppy.nKind = DRIVE_KIND_FLOPPY;
    floppy.arrLetters = {"A"};
    floppy.eMeasure = EDriveMeasure::NotReady;
    floppy.strVendor = "never shown";
    floppy.bLocked = true;
    EXPECT_EQ(DriveListText(floppy), "*FLOPPY#0 (A:) *NOT READY* ");
}

}  // namespace
