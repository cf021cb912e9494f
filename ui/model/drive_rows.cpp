// Row keys and the rule that keeps the rows on different drives.
#include "ui/model/drive_rows.h"

namespace {

uint32_t KeyAt(std::span<const uint32_t> arrKeys, int nPos)
{
    return nPos >= 0 && static_cast<size_t>(nPos) < arrKeys.size() ? arrKeys[static_cast<size_t>(nPos)]
                                                                    : NO_DRIVE_KEY;
}

bool SelectedByOtherRow(const T_DRIVE_ROWS& rows, int r, int nPos)
{
    for (int q = 0; q < ROW_COUNT; ++q) {
        if (q != r && rows.nSel[q] == nPos) return true;
    }
    return false;
}

// A row with a drive keeps the key of what it shows; a row showing nothing
// keeps the key of a drive that has gone, so that it finds it again.
void KeysFromSelections(T_DRIVE_ROWS& rows, std::span<const uint32_t> arrKeys)
{
    for (int q = 0; q < ROW_COUNT; ++q) {
        if (rows.nSel[q] != NO_SELECTION) rows.nKey[q] = KeyAt(arrKeys, rows.nSel[q]);
    }
}

}  // namespace

uint32_t EntryKey(uint32_t nKind, uint32_t nNumber)
{
    return (nKind << 16) + nNumber;
}

uint32_t EntryKey(const T_ITEM_DATA& item)
{
    return EntryKey(item.nKind, item.nNumber);
}

std::vector<uint32_t> EntryKeys(std::span<const T_ITEM_DATA> arrItems)
{
    std::vector<uint32_t> arrKeys;
    arrKeys.reserve(arrItems.size());
    for (const T_ITEM_DATA& item : arrItems) arrKeys.push_back(EntryKey(item));
    return arrKeys;
}

void ReselectRows(T_DRIVE_ROWS& rows, std::span<const uint32_t> arrKeys)
{
    for (int r = 0; r < ROW_COUNT; ++r) {
        rows.nSel[r] = NO_SELECTION;
        if (rows.nKey[r] == NO_DRIVE_KEY) continue;
        for (size_t i = 0; i < arrKeys.size(); ++i) {
            if (arrKeys[i] == rows.nKey[r]) {
                rows.nSel[r] = static_cast<int>(i);
                break;
            }
        }
    }
}

void SelectRowDrive(T_DRIVE_ROWS& rows, int r, std::span<const uint32_t> arrKeys)
{
    const uint32_t nChosen = KeyAt(arrKeys, rows.nSel[r]);
    if (nChosen != NO_DRIVE_KEY) {
        const uint32_t nFormer = rows.nKey[r];
        for (int q = 0; q < ROW_COUNT; ++q) {
            if (q == r || rows.nKey[q] != nChosen) continue;
            // Row r had this drive already (two rows kept one key): the
            // other row cannot take it in exchange and is left without.
            rows.nKey[q] = nFormer == nChosen ? NO_DRIVE_KEY : nFormer;
            rows.nState[q] = 0;
        }
        rows.nKey[r] = nChosen;
    }
    ReselectRows(rows, arrKeys);
}

void DriveChosen(T_DRIVE_ROWS& rows, int r, int nPos, std::span<const uint32_t> arrKeys)
{
    rows.nSel[r] = nPos;
    SelectRowDrive(rows, r, arrKeys);
    KeysFromSelections(rows, arrKeys);
    rows.nState[r] = 0;
}

void EnableBoxClicked(T_DRIVE_ROWS& rows, int r, std::span<const uint32_t> arrKeys)
{
    if (rows.nSel[r] == NO_SELECTION || SelectedByOtherRow(rows, r, rows.nSel[r])) {
        rows.nSel[r] = NO_SELECTION;
        for (int p = 0; p < 256 && static_cast<size_t>(p) < arrKeys.size(); ++p) {
            if (!SelectedByOtherRow(rows, r, p)) {
                rows.nSel[r] = p;
                break;
            }
        }
    }
    SelectRowDrive(rows, r, arrKeys);
    KeysFromSelections(rows, arrKeys);
    if (rows.nSel[r] == NO_SELECTION) rows.nKey[r] = NO_DRIVE_KEY;
    rows.nState[r] = 0;
}

void RowsAfterRebuild(T_DRIVE_ROWS& rows, std::span<const uint32_t> arrKeys)
{
    ReselectRows(rows, arrKeys);
    for (int r = 0; r < ROW_COUNT; ++r) SelectRowDrive(rows, r, arrKeys);
}
