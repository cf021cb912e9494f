#pragma once
// An enable set as the window applies it: one (control id, enabled) pair
// per control, every control once. The settings command of the system
// menu is not a control and stays in the set's bSetupMenu.
#include <cstdint>
#include <utility>
#include <vector>

#include "ui/model/enable_rules.h"

using T_CONTROL_ENABLE = std::pair<uint32_t, bool>;

std::vector<T_CONTROL_ENABLE> ControlEnables(const T_ENABLE_SET& set);
