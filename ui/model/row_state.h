#pragma once
// The state word of a drive row: the kind of the row's last job, whether
// the row takes part in the running job, whether its drive is not ready,
// and how the drive came out of its last job. The word is cleared whenever
// the row's drive is chosen anew.
//
// The row's two lamps show it. The upper lamp shows the kind of the row's
// job (read green, write red, verify yellow, erase magenta) and, while the
// row is busy, blinks to the dark picture of that colour every other
// second; the lower lamp shows the outcome (done green, failed red). Both
// are unlit (grey) for a row shown without a state.
#include <array>
#include <cstdint>

#include "engine/core/notify.h"

// 0x10 << job kind: 0x10 read, 0x20 write, 0x40 verify, 0x80 erase.
constexpr uint32_t ROWSTATE_TASK_MASK = 0xF0;
constexpr uint32_t ROWSTATE_BUSY = 0x100;
constexpr uint32_t ROWSTATE_NOT_READY = 0x800;
constexpr uint32_t ROWSTATE_DONE = 0x4000;
constexpr uint32_t ROWSTATE_FAILED = 0x8000;
// A row whose enable box is not checked is shown with this word: no lamp lit.
constexpr uint32_t ROWSTATE_NONE = 0xFFFFFFFF;

constexpr uint32_t RowTaskBit(int nTask)
{
    return nTask >= 0 && nTask < 4 ? 0x10u << nTask : 0u;
}

// The word of a row that takes part in a job that starts now.
uint32_t RowStateAtStart(int nTask);

// A drive's verdict: done (and no longer busy), or failed.
uint32_t RowStateAfterVerdict(uint32_t nState, bool bOk);

// The row's drive became ready (the results and the job kind of a drive
// that was not ready are cleared) or not ready.
uint32_t RowStateAfterReadyChange(uint32_t nState, bool bReady);

// The word the lamps show: the row's word when its enable box is checked.
constexpr uint32_t RowLampWord(uint32_t nState, bool bChecked)
{
    return bChecked ? nState : ROWSTATE_NONE;
}

// One drive's verdict as the engines and the job runner post it
// (WM_USER_ERROR): wParam's low 16 bits not 0 = the drive did well, 0 =
// it failed; lParam = the row. bValid is false for anything else (high
// bits set in wParam, or a row outside 0..3), which the window ignores.
struct T_ROW_VERDICT {
    bool bValid = false;
    int nRow = 0;
    bool bOk = false;
};
T_ROW_VERDICT RowVerdictOf(WPARAM_T wParam, LPARAM_T lParam);

// The lamp pictures, by bitmap resource id.
constexpr uint32_t LAMP_UNLIT = 143;
constexpr uint32_t LAMP_RED = 141;
constexpr uint32_t LAMP_DARK_RED = 148;
constexpr uint32_t LAMP_GREEN = 142;
constexpr uint32_t LAMP_DARK_GREEN = 147;
constexpr uint32_t LAMP_BLUE = 144;  // not shown
constexpr uint32_t LAMP_NAVY = 146;  // not shown
constexpr uint32_t LAMP_YELLOW = 145;
constexpr uint32_t LAMP_OLIVE = 149;
constexpr uint32_t LAMP_MAGENTA = 150;
constexpr uint32_t LAMP_PURPLE = 151;

// The window loads the eleven pictures in this order.
constexpr std::array<uint32_t, 11> LAMP_LOAD_ORDER = {LAMP_UNLIT,      LAMP_RED,    LAMP_DARK_RED, LAMP_GREEN,
                                                      LAMP_DARK_GREEN, LAMP_BLUE,   LAMP_NAVY,     LAMP_YELLOW,
                                                      LAMP_OLIVE,      LAMP_MAGENTA, LAMP_PURPLE};

struct T_ROW_LAMPS {
    uint32_t nUpper = LAMP_UNLIT;
    uint32_t nLower = LAMP_UNLIT;
};

// The lamps of a row word (ROWSTATE_NONE: both unlit) in the blink phase.
T_ROW_LAMPS RowLamps(uint32_t nState, bool bBlink);

// A picture's position in the load order; -1 for an id that is not a lamp.
int LampIndex(uint32_t nBitmapId);
