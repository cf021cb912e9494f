#pragma once
// The colours of the window's controls: the progress bars (a set of four
// bar colours at start-up, bright ones over a background picture, dark ones
// without; each job then paints bar 0 of the rows and of the image control
// green for data being read from a place, red for a place being written),
// the statics coloured by their text, and the text colour of labels drawn
// over the background picture.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

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

struct T_TEXT_COLOURS {
    uint32_t crText = 0x000000;
    uint32_t crBack = 0xFFFFFF;
    bool bRedBrush = false;  // the background is the window's red brush
};

// A row's state static: grey "NOT READY", red "ERROR", black otherwise, on white.
T_TEXT_COLOURS RowStatusColours(std::string_view strText);
// The image verdict static: "NG" white on red, anything else black on white.
T_TEXT_COLOURS VerdictColours(std::string_view strText);

// A label over the background picture: the average of the picture's pixels
// along the label's middle row (the button face colour when the row holds
// none) is its background, and its text is black on a bright average,
// white on a dark one.
uint32_t AverageColour(std::span<const uint32_t> arrPixels, uint32_t crButtonFace);
uint32_t LabelTextColour(uint32_t crAverage);
