// The four rows and their drives: keys that outlive the list's positions,
// two rows that exchange drives, a drive that vanishes and comes back, the
// enable box's choice of a free drive; what a row shows of its drive.
#include <gtest/gtest.h>

#include "drives/drive_kind.h"
#include "ui/model/drive_rows.h"
#include "ui/model/row_display.h"

namespace {

uint32_t Disk(uint32_t n)
{
    return EntryKey(DRIVE_KIND_DISK, n);
}

const std::vector<uint32_t> FIVE_DISKS = {Disk(0), Disk(1), Disk(2), Disk(3), Disk(4)};

// Rows 0..3 on disks 0..3, each with an outcome of an earlier job.
T_DRIVE_ROWS FourRows()
{
    T_DRIVE_ROWS rows;
    rows.nKey = {Disk(0), Disk(1), Disk(2), Disk(3)};
    rows.nState = {0x4020, 0x8020, 0x4020, 0x4020};
    RowsAfterRebuild(rows, FIVE_DISKS);
    return rows;
}

}  // namespace

TEST(DriveRows, AFirstStartShowsNoDriveAndChoosingAnotherRowsDriveExchangesTheTwo)
{
    T_DRIVE_ROWS fresh;  // default keys 0..3: no drive kind is 0
    RowsAfterRebuild(fresh, FIVE_DISKS);
    EXPECT_EQ(fresh.nSel, (std::array<int, 4>{-1, -1, -1, -1}));

    T_DRIVE_ROWS rows = FourRows();
    DriveChosen(rows, 1, 0, FIVE_DISKS);  // row 1 takes row 0's disk 0
    EXPECT_EQ(rows.nKey, (std::array<uint32_t, 4>{Disk(1), Disk(0), Disk(2), Disk(3)}));
    EXPECT_EQ(rows.nSel, (std::array<int, 4>{1, 0, 2, 3}));
    EXPECT_EQ(rows.nState, (std::array<uint32_t, 4>{0, 0, 0x4020, 0x4020}));
    DriveChosen(rows, 3, 4, FIVE_DISKS);  // a drive no row shows: nobody else changes
    EXPECT_EQ(rows.nKey, (std::array<uint32_t, 4>{Disk(1), Disk(0), Disk(2), Disk(4)}));
    EXPECT_EQ(rows.nState[2], 0x4020u);
}

TEST(DriveRows, AVanishedDriveLeavesItsRowEmptyWithItsKeyAndComesBackAfterARefresh)
{
    T_DRIVE_ROWS rows = FourRows();
    const std::vector<uint32_t> without1 = {Disk(0), Disk(2), Disk(3), Disk(4)};
    RowsAfterRebuild(rows, without1);
    EXPECT_EQ(rows.nSel, (std::array<int, 4>{0, -1, 1, 2}));  // positions moved, keys held
    // Other rows' choices meanwhile do not forget the vanished drive.
    EnableBoxClicked(rows, 3, without1);
    DriveChosen(rows, 2, 3, without1);
    EXPECT_EQ(rows.nKey[1], Disk(1));
    RowsAfterRebuild(rows, FIVE_DISKS);
    EXPECT_EQ(rows.nSel[1], 1);
    EXPECT_EQ(rows.nKey[2], Disk(4));
}

TEST(DriveRows, TheEnableBoxGivesARowWithoutADriveTheFirstFreeEntryIfThereIsOne)
{
    const std::vector<uint32_t> keys = {Disk(0), Disk(1), Disk(2), Disk(3)};
    T_DRIVE_ROWS rows;
    rows.nKey = {Disk(0), Disk(1), NO_DRIVE_KEY, Disk(2)};
    RowsAfterRebuild(rows, keys);
    rows.nState[2] = 0x8010;
    EnableBoxClicked(rows, 2, keys);
    EXPECT_EQ(rows.nKey[2], Disk(3));
    EXPECT_EQ(rows.nState[2], 0u);
    // Only three entries: nothing is free, and a row with a drive keeps it.
    const std::vector<uint32_t> three(keys.begin(), keys.begin() + 3);
    rows.nKey = {Disk(0), Disk(1), NO_DRIVE_KEY, Disk(2)};
    RowsAfterRebuild(rows, three);
    EnableBoxClicked(rows, 2, three);
    EXPECT_EQ(rows.nSel[2], NO_SELECTION);
    EXPECT_EQ(rows.nKey[2], NO_DRIVE_KEY);
    EnableBoxClicked(rows, 1, three);
    EXPECT_EQ(rows.nKey[1], Disk(1));
}

TEST(DriveRows, TwoRowsSavedWithTheSameKeyAreSeparatedAtTheNextRefresh)
{
    T_DRIVE_ROWS rows;
    rows.nKey = {Disk(1), Disk(1), NO_DRIVE_KEY, NO_DRIVE_KEY};  // a hand-edited settings file
    RowsAfterRebuild(rows, std::vector<uint32_t>{Disk(0), Disk(1)});
    EXPECT_EQ(rows.nSel, (std::array<int, 4>{1, -1, -1, -1}));
    EXPECT_EQ(rows.nKey[1], NO_DRIVE_KEY);
}

TEST(RowDisplay, OnlyADriveWithASizeIsReadyAndNoMediumWinsOverAnError)
{
    T_ITEM_DATA item;
    item.nSize = 16'008'609'792;
    EXPECT_EQ(RowTextOf(&item).strText, "16008609792");
    EXPECT_TRUE(RowTextOf(&item).bReady);
    item.bError = true;
    EXPECT_FALSE(RowTextOf(&item).bReady);
    item.bNotReady = true;
    EXPECT_EQ(RowTextOf(&item).strText, ROW_TEXT_NOT_READY);
    const T_ROW_TEXT none = RowTextOf(nullptr);
    EXPECT_TRUE(none.strText.empty() && !none.bReady && none.nSize == 0);
}

TEST(RowDisplay, TheLockSwitchShowsTheHeldVolumesAndIsUsableOnlyOnACheckedLockableRow)
{
    const T_LOCK_SWITCH unchecked = LockSwitchOf({true, true, true, false, true});
    EXPECT_TRUE(unchecked.bOn && !unchecked.bEnabled);  // still shows the lock
    EXPECT_FALSE(LockSwitchOf({true, true, true, true, false}).bEnabled);  // a job runs
    const T_LOCK_SWITCH none = LockSwitchOf({false, true, true, true, true});
    EXPECT_FALSE(none.bOn || none.bEnabled);  // no drive: off and unusable
    EXPECT_EQ(WithLockMark(" DRIVE#01 (E:) ", true), "*DRIVE#01 (E:) ");
}

TEST(RowDisplay, TheConfirmationListsOnlyRowsTakingPartWithoutGaps)
{
    T_ITEM_DATA a, c;
    a.strText = " DRIVE#01 (E:) ( 14.91GiB) ";
    a.nSize = 16'008'609'792;
    c.strText = "*DRIVE#02 (--) (  1.00KiB) ";
    c.nSize = 1024;
    const auto lines = ConfirmationLines({&a, nullptr, &c, nullptr});
    EXPECT_EQ(lines[0], a.strText + " (16008609792)");
    EXPECT_EQ(DriveLinesText(lines), lines[0] + "\n" + lines[2] + "\n");
}
