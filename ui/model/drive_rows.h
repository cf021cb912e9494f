#pragma once
// Which drive each of the four rows shows. A row remembers its drive by
// key ((kind << 16) + number), which outlives rebuilds of the drive list
// and restarts, while positions in the list do not. Two rows never show
// the same drive: choosing a drive that another row shows gives that row
// the chooser's former drive (the two exchange). A drive that vanishes
// leaves its key in its row, which then shows nothing until the drive
// comes back and is selected again.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "drives/drive_list_build.h"
#include "ui/model/control_ids.h"

constexpr uint32_t NO_DRIVE_KEY = 0xFFFFFFFF;
constexpr int NO_SELECTION = -1;

// The key of a list entry.
uint32_t EntryKey(const T_ITEM_DATA& item);
uint32_t EntryKey(uint32_t nKind, uint32_t nNumber);
// The keys of the list in list order.
std::vector<uint32_t> EntryKeys(std::span<const T_ITEM_DATA> arrItems);

struct T_DRIVE_ROWS {
    // The saved keys ("Drive0".."Drive3"); a first start has 0, 1, 2, 3,
    // which match no drive since no drive kind is 0.
    std::array<uint32_t, ROW_COUNT> nKey = {0, 1, 2, 3};
    // The list position each row's drive box selects, or NO_SELECTION.
    std::array<int, ROW_COUNT> nSel = {NO_SELECTION, NO_SELECTION, NO_SELECTION, NO_SELECTION};
    // The rows' state words (row_state.h).
    std::array<uint32_t, ROW_COUNT> nState = {0, 0, 0, 0};
};

// Selects in every row the first entry with the row's key, or nothing.
void ReselectRows(T_DRIVE_ROWS& rows, std::span<const uint32_t> arrKeys);

// Makes row r's selected entry its drive: a row that showed that drive
// takes over row r's former drive and its state word is cleared. Then
// every row is reselected.
void SelectRowDrive(T_DRIVE_ROWS& rows, int r, std::span<const uint32_t> arrKeys);

// The operator chose position nPos in row r's drive box.
void DriveChosen(T_DRIVE_ROWS& rows, int r, int nPos, std::span<const uint32_t> arrKeys);

// The operator checked or unchecked row r's enable box. A row without a
// drive, or sharing its drive with another row, takes the first position
// no other row selects (nothing when the list has no free entry).
void EnableBoxClicked(T_DRIVE_ROWS& rows, int r, std::span<const uint32_t> arrKeys);

// After the drive list was rebuilt: every row back to its drive.
void RowsAfterRebuild(T_DRIVE_ROWS& rows, std::span<const uint32_t> arrKeys);
