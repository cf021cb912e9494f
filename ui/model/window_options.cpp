// The option boxes that hold each other in check.
#include "ui/model/window_options.h"

#include "ui/model/control_ids.h"

void OptionClicked(T_WINDOW_OPTIONS& options, uint32_t nControlId)
{
    if (nControlId == IDC_OPT_EJECT && options.bEject) options.bShareRead = false;
    if (nControlId == IDC_OPT_SHARE_READ && options.bShareRead) options.bEject = false;
    NormaliseOptions(options);
}

void NormaliseOptions(T_WINDOW_OPTIONS& options)
{
    if (!options.bVerify) options.bMD5Verify = false;
    if (options.bEject) options.bShareRead = false;
}
