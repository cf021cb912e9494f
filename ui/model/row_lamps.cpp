// The lamps of a row from its state word.
#include "ui/model/row_lamps.h"

#include "ui/model/row_state.h"

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
