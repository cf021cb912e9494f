// A drive's size: the length request, else the geometry's product, else the
// request's error. Fake drives answer or refuse the two requests on demand.
#include <gtest/gtest.h>

#include "engine/device/fake/fake_device.h"

namespace {

constexpr uint32_t ERR_NO_LENGTH = 1117;  // any code a device could report
constexpr uint64_t ODD_SIZE = 1000 * 512 + 100;  // not a whole number of sectors

struct T_SIZE {
    bool bOk = false;
    uint64_t nSize = 0;
    uint32_t nError = 0;
};

T_SIZE SizeOf(std::shared_ptr<CFakeDisk> pDisk)
{
    CFakeDeviceProvider devices;
    devices.Add("fake:0", pDisk);
    T_SIZE r;
    std::unique_ptr<IDevice> pDrive = devices.Open("fake:0", EOpenMode::ReadDrive, r.nError);
    if (pDrive) r.bOk = GetDiskSize(*pDrive, r.nSize, r.nError);
    return r;
}

}  // namespace

TEST(DiskSize, TheLengthRequestGivesTheExactSize)
{
    T_SIZE r = SizeOf(CFakeDisk::WithPattern(ODD_SIZE));
    EXPECT_TRUE(r.bOk);
    EXPECT_EQ(r.nSize, ODD_SIZE);
}

TEST(DiskSize, WithoutALengthTheGeometryGivesWholeSectors)
{
    auto pDisk = CFakeDisk::WithPattern(ODD_SIZE);
    pDisk->FailLengthRequest(ERR_NO_LENGTH, false);
    T_SIZE r = SizeOf(pDisk);
    EXPECT_TRUE(r.bOk);
    EXPECT_EQ(r.nSize, 1000u * 512);
}

TEST(DiskSize, WhenNeitherRequestAnswersTheSizeFailsWithTheError)
{
    auto pDisk = CFakeDisk::WithPattern(ODD_SIZE);
    pDisk->FailLengthRequest(ERR_NO_LENGTH, true);
    T_SIZE r = SizeOf(pDisk);
    EXPECT_FALSE(r.bOk);
    EXPECT_EQ(r.nError, ERR_NO_LENGTH);
}
