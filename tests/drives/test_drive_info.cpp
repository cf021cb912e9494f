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
    EXPECT_EQ(pF->strVolumeName, VOL_F);
    EXPECT_EQ(pF->dwPartitionNumber, 2);
    ASSERT_EQ(pF->nExtents, 1u);
    EXPECT_EQ(pF->Extents[0].StartingOffset, 0x40100000u);
}

TEST_F(DriveInfoTest, AVolumeThatMovesOrALetterThatTakesAnotherVolumeLeavesOneRecordOfWhatIsThereNow)
{
    m_info.Refresh();
    m_scanner.UnmountLetter("E");
    m_scanner.MountLetter("G", VOL_E, DRIVE_TYPE_REMOVABLE);
    m_info.Refresh();
    EXPECT_EQ(AllLetters(), Letters({"C", "F", "G"}));
    // Moving to an earlier letter works the same, whatever the scan order.
    m_scanner.UnmountLetter("G");
    m_scanner.MountLetter("D", VOL_E, DRIVE_TYPE_REMOVABLE);
    m_info.Refresh();
    EXPECT_EQ(AllLetters(), Letters({"C", "F", "D"}));
    EXPECT_EQ(Disk(1), Letters({"F", "D"}));
    // Another stick takes F: between two refreshes and becomes disk 2.
    Mount("F", "\\\\?\\Volume{stick2}\\", DRIVE_TYPE_REMOVABLE, StorageOnDisk(2, 1));
    m_info.Refresh();
    EXPECT_EQ(Disk(1), Letters({"D"}));
    EXPECT_EQ(Disk(2), Letters({"F"}));
}

TEST_F(DriveInfoTest, StorageIsAskedOnceForEachNewRecordOfADriveTypeThatHoldsData)
{
    m_scanner.MountLetter("N", "\\\\?\\Volume{net}\\", DRIVE_TYPE_REMOTE);
    m_info.Refresh();
    m_info.Refresh();
    EXPECT_EQ(m_scanner.StorageRequests(VOL_E), 1u);
    EXPECT_EQ(m_scanner.StorageRequests(), 3u);  // not the network drive
    // A letter excluded from scanning loses its record; scanned again, its
    // volume is a new record that is asked again.
    m_info.m_dwNoScanLetters = LetterBit("C");
    m_info.Refresh();
    EXPECT_EQ(Disk(0), Letters());
    m_info.m_dwNoScanLetters = 0;
    m_info.Refresh();
    EXPECT_EQ(Disk(0), Letters({"C"}));
    EXPECT_EQ(m_scanner.StorageRequests(VOL_C), 2u);
    for (const DISK_DRIVE_INFO& drive : m_info.m_arrDrive) EXPECT_EQ(drive.bUpdate, 0u) << drive.chLetter;
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
    EXPECT_EQ(Disk(0), Letters({"C", "C"}));
    EXPECT_EQ(m_info.FindLetter("C")->strVolumeName, VOL_C) << "the letter's own record, not the folder's";
    m_info.Refresh();
    EXPECT_EQ(m_info.m_arrDrive.size(), 4u);
    EXPECT_EQ(m_scanner.StorageRequests(VOL_X), 1u);
}

TEST_F(DriveInfoTest, AVolumeThatCannotBeAskedIsOnNoDriveAndExtentsWinOverTheNumber)
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
    EXPECT_EQ(pE->dwPartitionNumber, -1);
    EXPECT_EQ(Disk(1), Letters({"F"}));
    EXPECT_EQ(Disk(3), Letters({"G"}));
}

TEST_F(DriveInfoTest, FloppiesAndCdromsAreFoundByTheirOwnKindAndNumber)
{
    // A floppy that does not open, and one whose requests are refused: each
    // keeps its own kind and number.
    T_VOLUME_STORAGE refused;
    refused.bOpened = true;
    Mount("A", "\\\\?\\Volume{a}\\", DRIVE_TYPE_REMOVABLE, T_VOLUME_STORAGE{}, "\\Device\\Floppy0");
    Mount("B", "\\\\?\\Volume{b}\\", DRIVE_TYPE_REMOVABLE, refused, "\\Device\\Floppy1");
    Mount("D", "\\\\?\\Volume{d}\\", DRIVE_TYPE_CDROM, StorageOfDrive(DRIVE_KIND_CDROM, 0), "\\Device\\CdRom0");
    m_info.Refresh();
    EXPECT_EQ(m_info.GetDriveLetters(DRIVE_KIND_FLOPPY, 0), Letters({"A"}));
    EXPECT_EQ(m_info.GetDriveLetters(DRIVE_KIND_FLOPPY, 1), Letters({"B"}));
    EXPECT_EQ(m_info.GetDriveLetters(DRIVE_KIND_CDROM, 0), Letters({"D"}));
    EXPECT_FALSE(m_info.FindLetter("D")->bFloppy);
}

TEST_F(DriveInfoTest, VolumeNamesAsLettersAreAlwaysScannedAndGoWhenNoLongerListed)
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

TEST(DosDeviceTest, AFloppyIsADeviceNamedFloppyWithItsNumberKeptWithin32Bits)
{
    EXPECT_EQ(ParseDosDevice("\\Device\\Floppy12").nFloppy, 12);
    EXPECT_FALSE(ParseDosDevice("\\device\\floppy1").bFloppy);  // as written, case and all
    EXPECT_FALSE(ParseDosDevice("\\Device\\Flop").bFloppy);
    EXPECT_EQ(ParseDosDevice("\\Device\\Floppy99999999999").nFloppy, INT32_MAX);
}

}  // namespace
