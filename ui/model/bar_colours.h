#pragma once
// The colours of the progress bars. The six progress controls get a set of
// four bar colours at start-up (bright ones over a background picture,
// dark ones without); each job then paints bar 0 of the rows and of the
// image control in the colour of what happens there: green for data being
// read from a place, red for a place being written.
#include <array>
#include <cstdint>

// Colours are 0x00BBGGRR.
using T_BAR_COLOURS = std::array<uint32_t, 4>;

T_BAR_COLOURS StartupBarColours(bool bBackgroundPicture);

constexpr uint32_t PROGRESS_BACK_COLOR = 0xFFFFFF;
constexpr uint32_t PROGRESS_TEXT_COLOR = 0x000000;
constexpr uint32_t PROGRESS_TEXT_ON_BAR_COLOR = 0xFFFFFF;

struct T_JOB_BAR_COLOURS {
    uint32_t crRows = 0;   // bar 0 of the four row controls
    uint32_t crImage = 0;  // bar 0 of the image control
};

// Bar 0 for a job of this kind (DUMPTASK_READ ...).
T_JOB_BAR_COLOURS JobBarColours(int nTask, bool bBackgroundPicture);
