// Progress bar colours.
#include "ui/model/bar_colours.h"

#include "jobs/dump_task_param.h"

namespace {

uint32_t Green(bool bPicture)
{
    return bPicture ? 0x00FF00 : 0x008000;
}

uint32_t Red(bool bPicture)
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
    case DUMPTASK_READ: return {Green(bBackgroundPicture), Red(bBackgroundPicture)};
    case DUMPTASK_VERIFY: return {Green(bBackgroundPicture), Green(bBackgroundPicture)};
    default: return {Red(bBackgroundPicture), Green(bBackgroundPicture)};  // write, erase
    }
}
