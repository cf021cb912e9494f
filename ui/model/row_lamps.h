#pragma once
// The two lamps of a drive row. The upper lamp shows the kind of the row's
// job (read green, write red, verify yellow, erase magenta) and, while the
// row is busy, blinks to the dark picture of that colour every other
// second; the lower lamp shows the outcome (done green, failed red). Both
// are unlit (grey) for a row shown without a state.
#include <array>
#include <cstdint>

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
