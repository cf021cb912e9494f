// The refusal of drives that hold the running system, against scripted
// places only: nothing here looks at this machine's own disks.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/system_places.h"
#include "engine/core/log.h"
#include "tests/support/recorder.h"

namespace {

// Disk A (0x800) with partitions 0x801 (root) and 0x802 (swap); disk B
// (0x810) with partition 0x811; a loop device 0x700 over a file on 0x811.
constexpr uint64_t DISK_A = 0x800, ROOT_PART = 0x801, SWAP_PART = 0x802;
constexpr uint64_t DISK_B = 0x810, DATA_PART = 0x811, LOOP = 0x700;

T_STORAGE DeviceStorage(uint64_t nDevice, std::vector<uint64_t> arrBelow)
{
    T_STORAGE storage;
    storage.self.arrDevices = {nDevice};
    storage.below.arrDevices = std::move(arrBelow);
    return storage;
}

// A folder or file on a file system of nPartition (on nDisk).
T_STORAGE FileStorage(uint64_t nPartition, uint64_t nDisk, uint64_t nInode)
{
    T_STORAGE storage;
    storage.self.arrFiles = {{nPartition, nInode}};
    storage.below.arrDevices = {nPartition, nDisk};
    return storage;
}

T_TARGET Target(const std::string& strPath, const T_STORAGE& storage)
{
    return T_TARGET{strPath, 1 << 20, storage, {}};
}

std::vector<T_SYSTEM_PLACE> Places()
{
    return {
        {"the root file system (/)", FileStorage(ROOT_PART, DISK_A, 2)},
        {"the active swap /dev/sda2", DeviceStorage(SWAP_PART, {SWAP_PART, DISK_A})},
    };
}

class SystemPlacesTest : public ::testing::Test {
protected:
    CRecorder m_recorder;
    CLogCapture m_capture{m_recorder};
};

TEST_F(SystemPlacesTest, EachTargetHoldingTheRootOrTheSwapGetsItsOwnLineNamingThePlace)
{
    const std::vector<T_TARGET> arrTargets = {
        Target("/dev/sda2", DeviceStorage(SWAP_PART, {SWAP_PART, DISK_A})),
        Target("/dev/sda1", DeviceStorage(ROOT_PART, {ROOT_PART, DISK_A})),
        Target("/dev/sdb", DeviceStorage(DISK_B, {DISK_B})),
        Target("/dev/sda", DeviceStorage(DISK_A, {DISK_A})),
    };
    EXPECT_FALSE(RefuseSystemDrives(arrTargets, Places()));
    const std::vector<T_LOG_LINE> arrLines = m_recorder.LogLines();
    ASSERT_EQ(arrLines.size(), 3u);
    EXPECT_EQ(LogPrefixOf(arrLines[0].dwWord), ELogPrefix::Error);
    EXPECT_EQ(arrLines[0].strText,
              "refused: /dev/sda2 holds the active swap /dev/sda2 of the running system; it is never written or "
              "erased.\n");
    EXPECT_EQ(arrLines[1].strText,
              "refused: /dev/sda1 holds the root file system (/) of the running system; it is never written or "
              "erased.\n");
    // The whole disk under both: named once, with the first place it holds.
    EXPECT_EQ(arrLines[2].strText.find("refused: /dev/sda holds the root file system (/) "), 0u);
}

TEST_F(SystemPlacesTest, OtherDisksFilesAndNoPlacesAtAllPass)
{
    // A partition of the system disk that holds nothing of the system's.
    const T_STORAGE otherPart = DeviceStorage(DISK_A + 3, {DISK_A + 3, DISK_A});
    // An image file on the root file system: writing it does not touch the disk under it.
    const T_STORAGE imageOnRoot = FileStorage(ROOT_PART, DISK_A, 99);
    const std::vector<T_TARGET> arrTargets = {Target("/dev/sda3", otherPart), Target("/disk.img", imageOnRoot),
                                              Target("/dev/sdb", DeviceStorage(DISK_B, {DISK_B}))};
    EXPECT_TRUE(RefuseSystemDrives(arrTargets, Places()));
    EXPECT_TRUE(RefuseSystemDrives({Target("/dev/sda", DeviceStorage(DISK_A, {DISK_A}))}, {}));
    EXPECT_TRUE(m_recorder.LogLines().empty());
}

TEST_F(SystemPlacesTest, ALoopDeviceOverASystemFileIsRefusedThroughItsBackingFile)
{
    T_STORAGE swapFile = FileStorage(DATA_PART, DISK_B, 12);
    std::vector<T_SYSTEM_PLACE> arrPlaces = {{"the active swap /swapfile", swapFile}};
    T_STORAGE loop = DeviceStorage(LOOP, {LOOP, DATA_PART, DISK_B});
    loop.self.arrFiles = swapFile.self.arrFiles;
    EXPECT_FALSE(RefuseSystemDrives({Target("/dev/loop0", loop)}, arrPlaces));
    // The disk the swap file lives on is refused too.
    EXPECT_EQ(SystemPlaceOn(DeviceStorage(DISK_B, {DISK_B}), arrPlaces), &arrPlaces[0]);
    EXPECT_EQ(SystemPlaceOn(DeviceStorage(DISK_A, {DISK_A}), arrPlaces), nullptr);
}

TEST(ProcSwaps, FirstFieldOfEachLineAfterTheHeadingWithEscapesUndone)
{
    std::istringstream swaps(
        "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n"
        "/dev/nvme0n1p3                          partition\t16777212\t0\t\t-2\n"
        "/var/my\\040swap\\134file               file\t\t1048572\t\t0\t\t-3\n"
        "\n");
    EXPECT_EQ(ParseProcSwaps(swaps), (std::vector<std::string>{"/dev/nvme0n1p3", "/var/my swap\\file"}));
    std::istringstream none("Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n");
    EXPECT_TRUE(ParseProcSwaps(none).empty());
    std::istringstream short_escape("H\n/a\\04\n/b\\09x\n");
    EXPECT_EQ(ParseProcSwaps(short_escape), (std::vector<std::string>{"/a\\04", "/b\\09x"}));
}

}  // namespace
