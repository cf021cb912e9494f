#include "cli/system_places.h"

const T_SYSTEM_PLACE* SystemPlaceOn(const T_STORAGE& drive, const std::vector<T_SYSTEM_PLACE>& arrPlaces)
{
    for (const T_SYSTEM_PLACE& place : arrPlaces) {
        if (IsStoredOn(place.storage, drive)) return &place;
    }
    return nullptr;
}
