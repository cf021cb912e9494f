// Row texts, the LOCK switch and the confirmation lines.
#include "ui/model/row_display.h"

#include "engine/core/format.h"

T_ROW_TEXT RowTextOf(const T_ITEM_DATA* pItem)
{
    T_ROW_TEXT text;
    if (pItem == nullptr) return text;
    text.nSize = pItem->nSize;
    if (pItem->bNotReady) {
        text.strText = ROW_TEXT_NOT_READY;
    } else if (pItem->bError) {
        text.strText = ROW_TEXT_ERROR;
    } else {
        text.strText = FormatText("%I64u", pItem->nSize);
        text.bReady = true;
    }
    return text;
}

T_LOCK_SWITCH LockSwitchOf(const T_LOCK_FACTS& facts)
{
    T_LOCK_SWITCH lock;
    if (!facts.bHasDrive) return lock;
    lock.bOn = facts.bDriveLocked;
    lock.bEnabled = facts.bCanLock && facts.bRowChecked && facts.bEnableBoxUsable;
    return lock;
}

std::string WithLockMark(std::string strText, bool bLocked)
{
    const char chMark = bLocked ? '*' : ' ';
    if (strText.empty()) return std::string(1, chMark);
    strText[0] = chMark;
    return strText;
}

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
