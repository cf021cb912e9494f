// The four rows and their drives: keys that outlive the list's positions,
// two rows that exchange drives, a drive that vanishes and comes back, the
// enable box's choice of a free drive; the row's text and LOCK switch.
#include <gtest/gtest.h>

#include "drives/drive_kind.h"
#include "jobs/dump_task_param.h"
#include "ui/model/drive_rows.h"
#include "ui/model/row_display.h"
#include "ui/model/row_state.h"

namespace {

uint32_t Disk(uint32_t n)
{
    return EntryKey(DRIVE_KIND_DISK, n);
}

// Rows 0..3 on disks 0..3 of a list of disks 0..4.
T_DRIVE_ROWS FourRows(const std::vector<uint32_t>& keys)
{
    T_DRIVE_ROWS rows;
    rows.nKey = {Disk(0), Disk(1), Disk(2), Disk(3)};
    rows.nState = {0x4020, 0x8020, 0x4020, 0x4020};
    RowsAfterRebuild(rows, keys);
    return rows;
}

}  // namespace

TEST(DriveRows, KeysAreKindAndNumberAndAFirstStartShowsNoDrive)
{
    T_ITEM_DATA floppy;
    floppy.nKind = DRIVE_KIND_FLOPPY;
    floppy.nNumber = 1;
    EXPECT_EQ(EntryKey(floppy), 0xE0000001u);
    EXPECT_EQ(Disk(3), 0x70003u);
    T_DRIVE_ROWS rows;  // default keys 0..3: no drive kind is 0
    RowsAfterRebuild(rows, std::vector<uint32_t>{Disk(0), Disk(1), EntryKey(DRIVE_KIND_CDROM, 0)});
    EXPECT_EQ(rows.nSel, (std::array<int, 4>{-1, -1, -1, -1}));
}

TEST(DriveRows, ChoosingAnotherRowsDriveExchangesTheTwoAndClearsTheOtherRowsState)
{
    const std::vector<uint32_t> keys = {Disk(0), Disk(1), Disk(2), Disk(3), Disk(4)};
    T_DRIVE_ROWS rows = FourRows(keys);
    DriveChosen(rows, 1, 0, keys);  // row 1 takes row 0's disk 0
    EXPECT_EQ(rows.nKey, (std::array<uint32_t, 4>{Disk(1), Disk(0), Disk(2), Disk(3)}));
    EXPECT_EQ(rows.nSel, (std::array<int, 4>{1, 0, 2, 3}));
    EXPECT_EQ(rows.nState, (std::array<uint32_t, 4>{0, 0, 0x4020, 0x4020}));
    DriveChosen(rows, 3, 4, keys);  // a drive no row shows: nobody else changes
    EXPECT_EQ(rows.nKey, (std::array<uint32_t, 4>{Disk(1), Disk(0), Disk(2), Disk(4)}));
    EXPECT_EQ(rows.nState[2], 0x4020u);
}

TEST(DriveRows, AVanishedDriveLeavesItsRowEmptyWithItsKeyAndComesBackAfterARefresh)
{
    const std::vector<uint32_t> keys = {Disk(0), Disk(1), Disk(2), Disk(3), Disk(4)};
    T_DRIVE_ROWS rows = FourRows(keys);
    const std::vector<uint32_t> without1 = {Disk(0), Disk(2), Disk(3), Disk(4)};
    RowsAfterRebuild(rows, without1);
    EXPECT_EQ(rows.nSel, (std::array<int, 4>{0, -1, 1, 2}));  // positions moved, keys held
    EXPECT_EQ(rows.nKey[1], Disk(1));
    // Other rows' choices meanwhile do not forget the vanished drive.
    EnableBoxClicked(rows, 3, without1);
    DriveChosen(rows, 2, 3, without1);
    EXPECT_EQ(rows.nKey[1], Disk(1));
    RowsAfterRebuild(rows, keys);
    EXPECT_EQ(rows.nSel[1], 1);
    EXPECT_EQ(rows.nKey[2], Disk(4));
}

TEST(DriveRows, TheEnableBoxGivesARowWithoutADriveTheFirstFreeEntry)
{
    const std::vector<uint32_t> keys = {Disk(0), Disk(1), Disk(2), Disk(3)};
    T_DRIVE_ROWS rows;
    rows.nKey = {Disk(0), Disk(1), NO_DRIVE_KEY, Disk(2)};
    RowsAfterRebuild(rows, keys);
    rows.nState[2] = 0x8010;
    EnableBoxClicked(rows, 2, keys);
    EXPECT_EQ(rows.nSel[2], 3);
    EXPECT_EQ(rows.nKey[2], Disk(3));
    EXPECT_EQ(rows.nState[2], 0u);
    // Only three entries: nothing is free, the row stays without a drive.
    T_DRIVE_ROWS three;
    three.nKey = {Disk(0), Disk(1), NO_DRIVE_KEY, Disk(2)};
    const std::vector<uint32_t> keys3(keys.begin(), keys.begin() + 3);
    RowsAfterRebuild(three, keys3);
    EnableBoxClicked(three, 2, keys3);
    EXPECT_EQ(three.nSel[2], NO_SELECTION);
    EXPECT_EQ(three.nKey[2], NO_DRIVE_KEY);
    // A row that already has a drive of its own keeps it.
    EnableBoxClicked(three, 1, keys3);
    EXPECT_EQ(three.nKey[1], Disk(1));
}

TEST(DriveRows, TwoRowsSavedWithTheSameKeyAreSeparatedAtTheNextRefresh)
{
    const std::vector<uint32_t> keys = {Disk(0), Disk(1)};
    T_DRIVE_ROWS rows;
    rows.nKey = {Disk(1), Disk(1), NO_DRIVE_KEY, NO_DRIVE_KEY};  // a hand-edited settings file
    RowsAfterRebuild(rows, keys);
    EXPECT_EQ(rows.nSel, (std::array<int, 4>{1, -1, -1, -1}));
    EXPECT_EQ(rows.nKey[1], NO_DRIVE_KEY);
}

TEST(RowDisplay, TheRowShowsTheSizeOrTheDrivesStateAndIsReadyOnlyWithASize)
{
    T_ITEM_DATA item;
    item.nSize = 16'008'609'792;
    EXPECT_EQ(RowTextOf(&item).strText, "16008609792");
    EXPECT_TRUE(RowTextOf(&item).bReady);
    item.bError = true;
    EXPECT_EQ(RowTextOf(&item).strText, "ERROR");
    item.bNotReady = true;  // no medium wins over an error
    const T_ROW_TEXT notReady = RowTextOf(&item);
    EXPECT_EQ(notReady.strText, "NOT READY");
    EXPECT_FALSE(notReady.bReady);
    EXPECT_EQ(notReady.nSize, item.nSize);
    const T_ROW_TEXT none = RowTextOf(nullptr);
    EXPECT_TRUE(none.strText.empty() && !none.bReady && none.nSize == 0);
}

TEST(RowDisplay, TheLockSwitchShowsTheHeldVolumesAndIsUsableOnlyOnACheckedLockableRow)
{
    T_LOCK_FACTS facts{true, true, true, true, true};
    EXPECT_TRUE(LockSwitchOf(facts).bOn && LockSwitchOf(facts).bEnabled);
    facts.bRowChecked = false;
    EXPECT_TRUE(LockSwitchOf(facts).bOn && !LockSwitchOf(facts).bEnabled);  // still shows the lock
    facts.bRowChecked = true;
    facts.bEnableBoxUsable = false;  // a job runs
    EXPECT_FALSE(LockSwitchOf(facts).bEnabled);
    facts = {true, false, false, true, true};
    EXPECT_FALSE(LockSwitchOf(facts).bOn || LockSwitchOf(facts).bEnabled);
    facts = {false, true, true, true, true};  // no drive: off and unusable
    EXPECT_FALSE(LockSwitchOf(facts).bOn || LockSwitchOf(facts).bEnabled);
    EXPECT_EQ(WithLockMark(" DRIVE#01 (E:) ", true), "*DRIVE#01 (E:) ");
    EXPECT_EQ(WithLockMark("*DRIVE#01 (E:) ", false), " DRIVE#01 (E:) ");
}

TEST(RowDisplay, ADriveBecomingReadyClearsItsOldOutcomeAndOneGoingAwayIsMarked)
{
    const uint32_t nAfterWrite = RowStateAfterVerdict(RowStateAtStart(DUMPTASK_WRITE), false);
    EXPECT_EQ(RowStateAfterReadyChange(nAfterWrite, false), nAfterWrite | ROWSTATE_NOT_READY);
    EXPECT_EQ(RowStateAfterReadyChange(nAfterWrite | ROWSTATE_NOT_READY, true), 0u);
    EXPECT_EQ(RowStateAfterReadyChange(ROWSTATE_BUSY | 0x4000 | 0x20, true), ROWSTATE_BUSY);
}
