// Drive lines of the confirmation dialogs.
#include "ui/model/confirm_lines.h"

#include "engine/core/format.h"

std::array<std::string, ROW_COUNT> ConfirmationLines(const std::array<const T_ITEM_DATA*, ROW_COUNT>& pItems)
{
    std::array<std::string, ROW_COUNT> arrLines;
    for (size_t r = 0; r < ROW_COUNT; ++r) {
        if (pItems[r] != nullptr) arrLines[r] = FormatText("%s (%I64u)", pItems[r]->strText, pItems[r]->nSize);
    }
    return arrLines;
}

std::string DriveLinesText(const std::array<std::string, ROW_COUNT>& arrLines)
{
    std::string strText;
    for (const std::string& strLine : arrLines) {
        if (!strLine.empty()) strText.append(strLine).append("\n");
    }
    return strText;
}
