// This machine's places, smoke-tested: read through O_PATH descriptors and
// /proc/swaps, without opening any disk.
#include <gtest/gtest.h>

#include "jobs/system_places.h"

namespace {

TEST(SystemPlacesPosix, TheRootFileSystemIsAlwaysOneOfThePlaces)
{
    const std::vector<T_SYSTEM_PLACE> arrPlaces = SystemPlaces();
    ASSERT_FALSE(arrPlaces.empty());
    EXPECT_EQ(arrPlaces[0].strWhat, "the root file system (/)");
    // "/" is a folder: its own id and the device of its file system.
    EXPECT_EQ(arrPlaces[0].storage.self.arrFiles.size(), 1u);
    EXPECT_FALSE(arrPlaces[0].storage.below.arrDevices.empty());
    for (const T_SYSTEM_PLACE& place : arrPlaces) {
        EXPECT_FALSE(place.storage.self.arrFiles.empty() && place.storage.self.arrDevices.empty()) << place.strWhat;
    }
}

}  // namespace
