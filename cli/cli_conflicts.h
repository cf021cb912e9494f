#pragma once
// The size rule between the image and the drives of a write or a verify,
// once each has been opened and measured: a raw image whose size differs
// from a drive it is to be written to. Each problem is logged on one line.
// The other refusals between them are the job's pre-flight.
#include <vector>

#include "cli/cli_targets.h"

// A write refuses differing sizes unless forced; a verify warns when a
// drive is shorter than the image, since only the drive's length is
// compared then.
bool CheckSizes(const T_TARGET& image, const std::vector<T_TARGET>& arrTargets, const T_TARGET_RULES& rules);
