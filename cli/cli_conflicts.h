#pragma once
// The size rule between the image and the drives of a write or a verify,
// once each has been opened and measured: a raw image whose size differs
// from a drive it is to be written to. Each problem is logged on one line.
// The other refusals between them are the job's pre-flight.
#include <vector>

#include "cli/cli_targets.h"

// A write refuses a raw image whose size differs from a drive's unless
// forced; a raw image longer than drives all of one size passes when all
// it holds past their end is zero. Compressed images and verifies are left to the
// engines, which learn the data's length as they read.
bool CheckSizes(IDeviceProvider& devices, const T_TARGET& image, const std::vector<T_TARGET>& arrTargets,
                const T_TARGET_RULES& rules);
