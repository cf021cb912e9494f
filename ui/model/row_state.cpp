// Row state words and the lamps that show them.
#include "ui/model/row_state.h"

#include "ui/model/control_ids.h"

uint32_t RowStateAtStart(int nTask)
{
    return RowTaskBit(nTask) | ROWSTATE_BUSY;
}

uint32_t RowStateAfterVerdict(uint32_t nState, bool bOk)
{
    if (bOk) return (nState & ~(ROWSTATE_FAILED | ROWSTATE_BUSY)) | ROWSTATE_DONE;
    return (nState & ~(ROWSTATE_DONE | ROWSTATE_BUSY)) | ROWSTATE_FAILED;
}

uint32_t RowStateAfterReadyChange(uint32_t nState, bool bReady)
{
    if (bReady) return nState & ~(ROWSTATE_FAILED | ROWSTATE_DONE | ROWSTATE_NOT_READY | ROWSTATE_TASK_MASK);
    return nState | ROWSTATE_NOT_READY;
}

T_ROW_VERDICT RowVerdictOf(WPARAM_T wParam, LPARAM_T lParam)
{
    T_ROW_VERDICT verdict;
    // The row is checked from both sides: a negative row must not index the rows.
    if ((wParam >> 16) != 0 || lParam < 0 || lParam >= ROW_COUNT) return verdict;
    verdict.bValid = true;
    verdict.nRow = static_cast<int>(lParam);
    verdict.bOk = (wParam & 0xFFFF) != 0;
    return verdict;
}

namespace {

struct T_TASK_LAMP {
    uint32_t nBit;
    uint32_t nBright;
    uint32_t nDark;
};

constexpr T_TASK_LAMP TASK_LAMPS[] = {
    {0x10, LAMP_GREEN, LAMP_DARK_GREEN},
    {0x20, LAMP_RED, LAMP_DARK_RED},
    {0x40, LAMP_YELLOW, LAMP_OLIVE},
    {0x80, LAMP_MAGENTA, LAMP_PURPLE},
};

uint32_t UpperLamp(uint32_t nState, bool bBlink)
{
    for (const T_TASK_LAMP& lamp : TASK_LAMPS) {
        if (nState & lamp.nBit) return (nState & ROWSTATE_BUSY) && bBlink ? lamp.nDark : lamp.nBright;
    }
    return LAMP_UNLIT;
}

uint32_t LowerLamp(uint32_t nState)
{
    switch (nState & (ROWSTATE_DONE | ROWSTATE_FAILED)) {
    case ROWSTATE_DONE: return LAMP_GREEN;
    case ROWSTATE_FAILED: return LAMP_RED;
    default: return LAMP_UNLIT;
    }
}

}  // namespace

T_ROW_LAMPS RowLamps(uint32_t nState, bool bBlink)
{
    if (nState == ROWSTATE_NONE) return {};
    return {UpperLamp(nState, bBlink), LowerLamp(nState)};
}

int LampIndex(uint32_t nBitmapId)
{
    for (size_t i = 0; i < LAMP_LOAD_ORDER.size(); ++i) {
        if (LAMP_LOAD_ORDER[i] == nBitmapId) return static_cast<int>(i);
    }
    return -1;
}
