// Colours of progress bars, statics and labels.
#include "ui/model/control_colours.h"

#include "jobs/job_runner_param.h"
#include "ui/model/progress_routing.h"
#include "ui/model/row_display.h"

namespace {

constexpr uint32_t RED = 0x0000FF;
constexpr uint32_t GREY = 0x808080;
constexpr uint32_t BLACK = 0x000000;
constexpr uint32_t WHITE = 0xFFFFFF;

uint32_t Red(uint32_t cr) { return cr & 0xFF; }
uint32_t Green(uint32_t cr) { return (cr >> 8) & 0xFF; }
uint32_t Blue(uint32_t cr) { return (cr >> 16) & 0xFF; }

uint32_t GreenBar(bool bPicture)
{
    return bPicture ? 0x00FF00 : 0x008000;
}

uint32_t RedBar(bool bPicture)
{
    return bPicture ? 0x0000FF : 0x000080;
}

}  // namespace

T_BAR_COLOURS StartupBarColours(bool bBackgroundPicture)
{
    if (bBackgroundPicture) return {0x00C0FF, 0xFF00FF, 0xFFFF00, 0x00C0FF};
    return {0x800000, 0x008080, 0x808000, 0x800000};
}

T_JOB_BAR_COLOURS JobBarColours(int nTask, bool bBackgroundPicture)
{
    switch (nTask) {
    case DUMPTASK_READ: return {GreenBar(bBackgroundPicture), RedBar(bBackgroundPicture)};
    case DUMPTASK_VERIFY: return {GreenBar(bBackgroundPicture), GreenBar(bBackgroundPicture)};
    default: return {RedBar(bBackgroundPicture), GreenBar(bBackgroundPicture)};  // write, erase
    }
}

T_TEXT_COLOURS RowStatusColours(std::string_view strText)
{
    if (strText == ROW_TEXT_NOT_READY) return {GREY, WHITE, false};
    if (strText == ROW_TEXT_ERROR) return {RED, WHITE, false};
    return {BLACK, WHITE, false};
}

T_TEXT_COLOURS VerdictColours(std::string_view strText)
{
    if (strText == VERDICT_TEXT_NG) return {WHITE, RED, true};
    return {BLACK, WHITE, false};
}

uint32_t AverageColour(std::span<const uint32_t> arrPixels, uint32_t crButtonFace)
{
    if (arrPixels.empty()) return crButtonFace;
    uint64_t nRed = 0, nGreen = 0, nBlue = 0;
    for (uint32_t cr : arrPixels) {
        nRed += Red(cr);
        nGreen += Green(cr);
        nBlue += Blue(cr);
    }
    const uint64_t n = arrPixels.size();
    return static_cast<uint32_t>((nRed / n) | ((nGreen / n) << 8) | ((nBlue / n) << 16));
}

uint32_t LabelTextColour(uint32_t crAverage)
{
    const double dBrightness = 0.257 * Red(crAverage) + 0.504 * Green(crAverage) + 0.098 * Blue(crAverage) + 16;
    return dBrightness >= 128 ? BLACK : WHITE;
}
