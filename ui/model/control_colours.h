#pragma once
// The colours the window gives some of its statics by their text, and the
// text colour of labels drawn over the background picture.
#include <cstdint>
#include <span>
#include <string_view>

struct T_TEXT_COLOURS {
    uint32_t crText = 0x000000;  // 0x00BBGGRR
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
