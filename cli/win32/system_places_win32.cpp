// On Windows the operator chooses among the drives the window lists, and
// the system's volumes are locked against the job like any other; no drive
// is set apart here.
#include "cli/system_places.h"

std::vector<T_SYSTEM_PLACE> SystemPlaces()
{
    return {};
}
