#pragma once
// The drive lines of the write confirmation and of the erase-method
// dialog: one per checked row that shows a drive, "text (size in bytes)",
// in row order; the dialogs list the lines that are not empty, one per
// line, with no gap for a row that takes no part.
#include <array>
#include <string>

#include "drives/drive_list_build.h"
#include "ui/model/control_ids.h"

// pItems[r]: row r's entry when the row is checked and shows a drive, else null.
std::array<std::string, ROW_COUNT> ConfirmationLines(const std::array<const T_ITEM_DATA*, ROW_COUNT>& pItems);

// The text of the dialogs' drive list static.
std::string DriveLinesText(const std::array<std::string, ROW_COUNT>& arrLines);

constexpr const char* OVERWRITE_HEADING = "下記のドライブにイメージを書き込みます。";
constexpr const char* ERASE_HEADING = "下記のドライブを消去します。";
