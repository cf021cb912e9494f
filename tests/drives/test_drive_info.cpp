// The drive inventory's record keeping, against a scripted scanner: which
// letters belong to which drive, records that survive, move and go between
// refreshes, folder mount points, and the storage requests made only for
// new records.
#include <gtest/gtest.h>

#include "drives/drive_info.h"
#include "drives/drive_kind.h"
#include "drives/fake/scripted_volume_scanner.h"

namespace {

using Letters = std::vector<std::string>;

const std::string VOL_C = "\\\\?\\Volume{c}\\";
const std::string VOL_E = "\\\\?\\Volume{e}\\";
const std::string VOL_F = "\\\\?\\Volume{f}\\";
const std::string VOL_X = "\\\\?\\Volume{x}\\";
const std::string VOL_STICK2 = "\\\\?\\Volume{stick2}\\";

class DriveInfoTest : public ::testing::Test {
protected:
    // C: on disk 0; E: and F: on disk 1.
    void SetUp() override
    {
        Mount("C", VOL_C, DRIVE_TYPE_FIXED, StorageOnDisk(0, 1));
        Mount("E", VOL_E, DRIVE_TYPE_REMOVABLE, StorageOnDisk(1, 1));
        Mount("F", VOL_F, DRIVE_TYPE_REMOVABLE, StorageOnDisk(1, 2, 0x40100000));
    }

    void Mount(const std::string& strLetter, const std::string& strVolume, uint32_t nType,
               const T_VOLUME_STORAGE& storage, const std::string& strDos = "")
    {
        m_scanner.MountLetter(strLetter, strVolume, nType, strDos);
        m_scanner.SetStorage(strVolume, storage);
    }

    Letters Disk(uint32_t n) const { return m_info.GetDriveLetters(DRIVE_KIND_DISK, n); }

    Letters AllLetters() const
    {
        Letters arrLetters;
        for (const DISK_DRIVE_INFO& drive : m_info.m_arrDrive) arrLetters.push_back(drive.chLetter);
        return arrLetters;
    }

    CScriptedVolumeScanner m_scanner;
    CDriveInfo m_info{m_scanner};
};

TEST_F(DriveInfoTest, EachDiskGetsTheLettersOfItsVolumesInLetterOrder)
{
    ASSERT_TRUE(m_info.Refresh());
    EXPECT_EQ(Disk(0), Letters({"C"}));
    EXPECT_EQ(Disk(1), Letters({"E", "F"}));
    EXPECT_EQ(Disk(2), Letters());
    const DISK_DRIVE_INFO* pF = m_info.FindLetter("f");
    ASSERT_NE(pF, nullptr);
    EXPECT_EQ(pF->strRoot, "F:\\");
    EXPECT_EQ(pF->strVolumeName, VOL_F);
    EXPECT_EQ(pF->nDriveType, DRIVE_TYPE_REMOVABLE);
    EXPECT_EQ(pF->dwDeviceType, DRIVE_KIND_DISK);
    EXPECT_EQ(pF->dwDeviceNumber, 1);
    EXPECT_EQ(pF->dwPartitionNumber, 2);
    ASSERT_EQ(pF->nExtents, 1u);
    EXPECT_EQ(pF->Extents[0].StartingOffset, 0x40100000u);
    EXPECT_EQ(pF->bUpdate, 0u);
}

TEST_F(DriveInfoTest, AVolumeThatMovesToAnotherLetterLeavesOneRecordUnderTheNewLetter)
{
    m_info.Refresh();
    m_scanner.UnmountLetter("E");
    m_scanner.MountLetter("G", VOL_E, DRIVE_TYPE_REMOVABLE);
    m_info.Refresh();
    EXPECT_EQ(AllLetters(), Letters({"C", "F", "G"}));
    EXPECT_EQ(Disk(1), Letters({"F", "G"}));
    // Moving to an earlier letter works the same, whatever the scan order.
    m_scanner.UnmountLetter("G");
    m_scanner.MountLetter("D", VOL_E, DRIVE_TYPE_REMOVABLE);
    m_info.Refresh();
    EXPECT_EQ(AllLetters(), Letters({"C", "F", "D"}));
}

TEST_F(DriveInfoTest, RecordsGoWithTheirVolumeAndWithALetterExcludedFromScanning)
{
    m_info.Refresh();
    m_scanner.UnmountLetter("F");
    m_info.m_dwNoScanLetters = LetterBit("C");
    m_info.Refresh();
    EXPECT_EQ(AllLetters(), Letters({"E"}));
    EXPECT_EQ(Disk(0), Letters());
    // Scanned again, the letter's volume is a new record.
    m_info.m_dwNoScanLetters = 0;
    m_info.Refresh();
    EXPECT_EQ(AllLetters(), Letters({"E", "C"}));
    EXPECT_EQ(m_scanner.StorageRequests(VOL_C), 2u);
}

TEST_F(DriveInfoTest, StorageIsAskedOnceForEachNewRecordOfADriveTypeThatHoldsData)
{
    m_scanner.MountLetter("N", "\\\\?\\Volume{net}\\", DRIVE_TYPE_REMOTE);
    m_info.Refresh();
    m_info.Refresh();
    EXPECT_EQ(m_scanner.StorageRequests(VOL_E), 1u);
    EXPECT_EQ(m_scanner.StorageRequests(), 3u);  // not the network drive
    Mount("H", VOL_X, DRIVE_TYPE_RAMDISK, StorageOnDisk(4, 0));
    m_info.Refresh();
    EXPECT_EQ(m_scanner.StorageRequests(VOL_X), 1u);
    EXPECT_EQ(m_scanner.StorageRequests(), 4u);
    for (const DISK_DRIVE_INFO& drive : m_info.m_arrDrive) EXPECT_EQ(drive.bUpdate, 0u) << drive.chLetter;
}

TEST_F(DriveInfoTest, ALetterThatNowHoldsAnotherVolumeKeepsNothingOfTheOldOne)
{
    m_info.Refresh();
    // Another stick takes E: between two refreshes and becomes disk 2.
    Mount("E", VOL_STICK2, DRIVE_TYPE_REMOVABLE, StorageOnDisk(2, 1));
    m_info.Refresh();
    EXPECT_EQ(AllLetters(), Letters({"C", "F", "E"}));
    EXPECT_EQ(Disk(1), Letters({"F"}));
    EXPECT_EQ(Disk(2), Letters({"E"}));
}

TEST_F(DriveInfoTest, AFolderMountPointOfANewFixedVolumeBelongsToItsHostLetter)
{
    m_scanner.MountFolder(VOL_C, "mnt\\data", VOL_X);
    m_scanner.MountFolder(VOL_C, "mnt\\gone", "");
    m_scanner.MountFolder(VOL_E, "inner", "\\\\?\\Volume{on-removable}\\");
    m_scanner.SetStorage(VOL_X, StorageOnDisk(0, 3));
    m_info.Refresh();
    EXPECT_EQ(AllLetters(), Letters({"C", "C", "E", "F"}));
    EXPECT_EQ(m_info.m_arrDrive[1].strRoot, "C:\\mnt\\data\\");
    EXPECT_EQ(m_info.m_arrDrive[1].strVolumeName, VOL_X);
    EXPECT_EQ(m_info.m_arrDrive[1].nDriveType, DRIVE_TYPE_FIXED);
    // The drive letter and the folder of the same disk: the letter twice.
    EXPECT_EQ(Disk(0), Letters({"C", "C"}));
    // The letter's own record, not the folder's.
    EXPECT_EQ(m_info.FindLetter("C")->strVolumeName, VOL_C);
    m_info.Refresh();
    EXPECT_EQ(m_info.m_arrDrive.size(), 4u);
    EXPECT_EQ(m_scanner.StorageRequests(VOL_X), 1u);
}

TEST_F(DriveInfoTest, AVolumeThatCannotBeAskedIsOnNoDrive)
{
    T_VOLUME_STORAGE numberOnly = StorageOnDisk(1, 1);
    numberOnly.bExtents = false;
    T_VOLUME_STORAGE extentsOnly = StorageOnDisk(3, 1);
    extentsOnly.bNumber = false;
    Mount("E", VOL_E, DRIVE_TYPE_REMOVABLE, T_VOLUME_STORAGE{});  // does not open
    Mount("F", VOL_F, DRIVE_TYPE_REMOVABLE, numberOnly);
    Mount("G", VOL_X, DRIVE_TYPE_FIXED, extentsOnly);
    m_info.Refresh();
    const DISK_DRIVE_INFO* pE = m_info.FindLetter("E");
    EXPECT_EQ(pE->dwDeviceType, DEVICE_TYPE_UNKNOWN);
    EXPECT_EQ(pE->dwDeviceNumber, 0);
    EXPECT_EQ(pE->dwPartitionNumber, -1);
    EXPECT_EQ(pE->nExtents, 0u);
    EXPECT_EQ(m_info.FindLetter("G")->dwDeviceType, DEVICE_TYPE_UNKNOWN);
    // Without extents the device number decides; with them, the extents.
    EXPECT_EQ(Disk(1), Letters({"F"}));
    EXPECT_EQ(Disk(3), Letters({"G"}));
    EXPECT_EQ(Disk(0), Letters({"C"}));
}

TEST_F(DriveInfoTest, FloppiesAndCdromsAreFoundByTheirOwnKindAndNumber)
{
    // A floppy that does not open, and one whose requests are refused: each
    // keeps its own kind and number.
    T_VOLUME_STORAGE refused;
    refused.bOpened = true;
    Mount("A", "\\\\?\\Volume{a}\\", DRIVE_TYPE_REMOVABLE, T_VOLUME_STORAGE{}, "\\Device\\Floppy0");
    Mount("B", "\\\\?\\Volume{b}\\", DRIVE_TYPE_REMOVABLE, refused, "\\Device\\Floppy1");
    Mount("D", "\\\\?\\Volume{d}\\", DRIVE_TYPE_CDROM, StorageOfDrive(DRIVE_KIND_CDROM, 0),
          "\\Device\\CdRom0");
    m_info.Refresh();
    EXPECT_EQ(m_info.GetDriveLetters(DRIVE_KIND_FLOPPY, 0), Letters({"A"}));
    EXPECT_EQ(m_info.GetDriveLetters(DRIVE_KIND_FLOPPY, 1), Letters({"B"}));
    EXPECT_EQ(m_info.GetDriveLetters(DRIVE_KIND_CDROM, 0), Letters({"D"}));
    EXPECT_EQ(Disk(0), Letters({"C"}));
    const DISK_DRIVE_INFO* pB = m_info.FindLetter("B");
    EXPECT_TRUE(pB->bFloppy);
    EXPECT_EQ(pB->strDosDevice, "\\Device\\Floppy1");
    EXPECT_EQ(pB->dwPartitionNumber, -1);
    EXPECT_FALSE(m_info.FindLetter("D")->bFloppy);
    // A letter whose device cannot be told has none.
    EXPECT_EQ(m_info.FindLetter("C")->strDosDevice, "");
}

TEST_F(DriveInfoTest, SetupInterfacesAttachToTheRecordsOfTheirVolume)
{
    T_VOLUME_INTERFACE e{"\\\\?\\STORAGE#Volume#e\\", VOL_E, 11, "\\Device\\0042", "STORAGE\\E", true, 12, "USB\\DISK"};
    T_VOLUME_INTERFACE f{"\\\\?\\STORAGE#Volume#f\\", VOL_F, 21, "", "STORAGE\\F", false, 0, ""};
    T_VOLUME_INTERFACE unnamed = e;
    unnamed.strVolumeName.clear();
    m_scanner.SetInterfaces({e, f, unnamed});
    m_info.Refresh();
    const DISK_DRIVE_INFO* pE = m_info.FindLetter("E");
    EXPECT_EQ(pE->strInterfacePath, e.strInterfacePath);
    EXPECT_EQ(pE->dnDevInst, 11u);
    EXPECT_EQ(pE->strPdoName, e.strPdoName);
    EXPECT_EQ(pE->strDeviceId, e.strDeviceId);
    EXPECT_EQ(pE->dnParent, 12u);
    EXPECT_EQ(pE->strParentId, e.strParentId);
    EXPECT_EQ(m_info.FindLetter("F")->strDeviceId, f.strDeviceId);
    EXPECT_EQ(m_info.FindLetter("C")->strInterfacePath, "");
    // When the interfaces cannot be listed, the records keep what they had.
    m_scanner.SetInterfaces({}, true);
    EXPECT_FALSE(m_info.ScanVolumeInterfaces());
    EXPECT_EQ(m_info.FindLetter("E")->strDeviceId, e.strDeviceId);
}

TEST_F(DriveInfoTest, VolumeNamesAsLettersAreScannedAndGoWhenNoLongerListed)
{
    CScriptedVolumeScanner scanner;
    CDriveInfo info(scanner);
    scanner.SetLetters({"sdb1", "sdb2"});
    scanner.MountLetter("sdb1", "/dev/sdb1 8:17", DRIVE_TYPE_REMOVABLE);
    scanner.MountLetter("sdb2", "/dev/sdb2 8:18", DRIVE_TYPE_REMOVABLE);
    scanner.SetStorage("/dev/sdb1 8:17", StorageOnDisk(1, 1));
    scanner.SetStorage("/dev/sdb2 8:18", StorageOnDisk(1, 2));
    info.m_dwNoScanLetters = 0x03FFFFFF;  // the mask knows only drive letters
    info.Refresh();
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 1), Letters({"sdb1", "sdb2"}));
    scanner.SetLetters({"sdb1"});
    scanner.UnmountLetter("sdb2");
    info.Refresh();
    EXPECT_EQ(info.GetDriveLetters(DRIVE_KIND_DISK, 1), Letters({"sdb1"}));
}

TEST(DosDeviceTest, AFloppyIsADeviceNamedFloppyWithItsNumber)
{
    const struct {
        const char* pTarget;
        bool bFloppy;
        int32_t nNumber;
    } cases[] = {
        {"\\Device\\Floppy0", true, 0},     {"\\Device\\Floppy12", true, 12},
        {"\\Device\\Floppy", true, 0},      {"\\Device\\FloppyX", true, 0},
        {"\\device\\floppy1", false, 0},    {"\\Device\\HarddiskVolume3", false, 0},
        {"\\Device\\Flop", false, 0},       {"\\Device\\Floppy99999999999", true, INT32_MAX},
    };
    for (const auto& c : cases) {
        const T_DOS_DEVICE device = ParseDosDevice(c.pTarget);
        EXPECT_EQ(device.strTarget, c.pTarget);
        EXPECT_EQ(device.bFloppy, c.bFloppy) << c.pTarget;
        EXPECT_EQ(device.nFloppy, c.nNumber) << c.pTarget;
    }
}

}  // namespace
