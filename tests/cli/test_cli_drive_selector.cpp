// DRIVE words: selectors of listed drives, paths that are listed drives
// under another name, plain paths, and what is refused.
#include <gtest/gtest.h>

#include "cli/cli_drive_selector.h"
#include "tests/cli/cli_inventory_fixture.h"
#include "jobs/dump_task_param.h"
#include "tests/support/recorder.h"

namespace {

using cli_test::CliInventoryTest;

class DriveSelectorTest : public CliInventoryTest {
protected:
    T_CLI_DRIVE Resolve(const std::string& strWord, bool bFloppyLetters = false)
    {
        T_CLI_DRIVE drive;
        std::string strError;
        EXPECT_TRUE(ResolveDrive(Inventory(), strWord, drive, strError, bFloppyLetters)) << strError;
        return drive;
    }

    std::string Refusal(const std::string& strWord, bool bFloppyLetters = false)
    {
        T_CLI_DRIVE drive;
        std::string strError;
        EXPECT_FALSE(ResolveDrive(Inventory(), strWord, drive, strError, bFloppyLetters)) << strWord;
        return strError;
    }
};

TEST_F(DriveSelectorTest, SelectorsNameTheListedDriveWithItsPathTextAndSize)
{
    const T_CLI_DRIVE disk = Resolve("disk:1");
    EXPECT_EQ(disk.nKind, DRIVE_KIND_DISK);
    EXPECT_EQ(disk.nNumber, 1u);
    EXPECT_EQ(disk.strPath, "fake:disk1");
    EXPECT_EQ(disk.strText, " DRIVE#01 (E:, F:) (  1.00MiB) USB     Flash Disk      ");
    EXPECT_EQ(disk.nSize, 1u << 20);
    EXPECT_EQ(Resolve("DISK:0").strPath, "fake:disk0");
    const T_CLI_DRIVE cd = Resolve("cdrom:0");
    EXPECT_EQ(cd.nKind, DRIVE_KIND_CDROM);
    EXPECT_EQ(cd.strPath, "fake:cd0");
    EXPECT_EQ(cd.nSize, 0u);
}

TEST_F(DriveSelectorTest, ASelectorOfNoListedDriveSaysSoAndPointsAtTheList)
{
    EXPECT_EQ(Refusal("disk:7"), "no disk 7: 'gravelmoor-cli list' shows the drives");
    EXPECT_EQ(Refusal("cdrom:1"), "no cdrom 1: 'gravelmoor-cli list' shows the drives");
    EXPECT_EQ(Refusal("disk:256"), "no disk 256: 'gravelmoor-cli list' shows the drives");
    for (const char* pWord : {"disk:", "disk:x", "disk:1x", "disk:-1", "disk:99999999999", "cdrom: 0"}) {
        const std::string strError = Refusal(pWord);
        EXPECT_EQ(strError.find(std::string(pWord) + " is not a drive"), 0u) << strError;
    }
}

TEST_F(DriveSelectorTest, FloppiesByLetterOnlyWhereFloppiesHaveLetters)
{
    m_pScanner->MountLetter("A", "\\\\?\\Volume{A}\\", DRIVE_TYPE_REMOVABLE, "\\Device\\Floppy0");
    auto pFloppy = std::make_shared<CFakeDisk>(std::vector<uint8_t>(1474560));
    m_devices.Add("\\\\.\\A:", pFloppy);
    const std::string strNoLetters = Refusal("floppy:A");
    EXPECT_NE(strNoLetters.find("floppy drives have no letters on this system"), std::string::npos) << strNoLetters;
    EXPECT_NE(strNoLetters.find("/dev/fd0"), std::string::npos) << strNoLetters;

    const T_CLI_DRIVE floppy = Resolve("floppy:a:", true);
    EXPECT_EQ(floppy.nKind, DRIVE_KIND_FLOPPY);
    EXPECT_EQ(floppy.nNumber, 0u);
    EXPECT_EQ(floppy.strPath, "\\\\.\\A:");
    EXPECT_EQ(Refusal("floppy:B", true), "no floppy drive B: 'gravelmoor-cli list' shows the drives");
    EXPECT_EQ(Refusal("floppy:1", true).find("floppy:1 is not a drive"), 0u);
}

TEST_F(DriveSelectorTest, AnotherNameOfAListedDeviceIsThatDrive)
{
    const T_CLI_DRIVE byId = Resolve("fake:by-id/usb-stick");
    EXPECT_EQ(byId.nKind, DRIVE_KIND_DISK);
    EXPECT_EQ(byId.nNumber, 1u);
    EXPECT_EQ(byId.strPath, "fake:disk1");  // opened by the list's own path
    EXPECT_EQ(Resolve("fake:cd0").nKind, DRIVE_KIND_CDROM);
}

TEST_F(DriveSelectorTest, APartitionIsRefusedNamingItsWholeDisk)
{
    EXPECT_EQ(Refusal("fake:disk1p1"),
              "fake:disk1p1 is partition 1 of disk:1 (fake:disk1), not a whole drive: give disk:1 or fake:disk1; "
              "the jobs work on whole drives");
    AddPartition(9, 3);  // of a disk the list does not show
    const std::string strUnlisted = Refusal("fake:disk9p3");
    EXPECT_EQ(strUnlisted.find("fake:disk9p3 is partition 3 of a disk, not a whole drive"), 0u) << strUnlisted;
}

TEST_F(DriveSelectorTest, AnUnlistedDeviceOrAFileIsAPathDriveMeasuredAsItOpens)
{
    auto pOther = std::make_shared<CFakeDisk>(std::vector<uint8_t>(4096));
    pOther->SetStorage(cli_test::BlockStorage(0x900));
    m_devices.Add("fake:other", pOther);
    const T_CLI_DRIVE other = Resolve("fake:other");
    EXPECT_EQ(other.nKind, DRIVE_KIND_PATH);
    EXPECT_EQ(other.strPath, "fake:other");
    EXPECT_EQ(other.strText, "fake:other");
    EXPECT_EQ(other.nSize, 4096u);

    // A file that backs a listed loop device is still the file, not the drive.
    T_STORAGE backing;
    backing.self.arrFiles = {{0x801, 77}};
    T_STORAGE loop = cli_test::BlockStorage(0x700);
    loop.self.arrFiles = backing.self.arrFiles;
    AddDrive(DRIVE_KIND_DISK, 3, 2048)->SetStorage(loop);
    auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>(2048));
    pFile->SetKind(EDeviceKind::RegularFile);
    pFile->SetStorage(backing);
    m_devices.Add("fake:loop-backing.img", pFile);
    EXPECT_EQ(Resolve("fake:loop-backing.img").nKind, DRIVE_KIND_PATH);
}

TEST_F(DriveSelectorTest, APathThatDoesNotOpenIsLeftToTheJob)
{
    // Not listed either: the list build could not open it. The job's own
    // checks then say why it cannot be opened.
    AddDrive(DRIVE_KIND_DISK, 4, 512)->FailOpen(SystemError::IoError());
    EXPECT_EQ(Inventory().Items().size(), 4u);
    const T_CLI_DRIVE drive = Resolve("fake:disk4");
    EXPECT_EQ(drive.nKind, DRIVE_KIND_PATH);
    EXPECT_EQ(drive.strPath, "fake:disk4");
}

TEST_F(DriveSelectorTest, EveryRefusedWordIsLoggedAndTheGoodOnesKept)
{
    CRecorder recorder;
    CLogCapture capture(recorder);
    std::vector<T_CLI_DRIVE> arrDrives;
    EXPECT_FALSE(ResolveDrives(Inventory(), {"disk:0", "disk:7", "fake:disk1p1", "cdrom:0"}, arrDrives, false));
    ASSERT_EQ(arrDrives.size(), 2u);
    EXPECT_EQ(arrDrives[0].strPath, "fake:disk0");
    EXPECT_EQ(arrDrives[1].strPath, "fake:cd0");
    const std::vector<T_LOG_LINE> arrLines = recorder.LogLines();
    ASSERT_EQ(arrLines.size(), 2u);
    EXPECT_EQ(arrLines[0].strText, "no disk 7: 'gravelmoor-cli list' shows the drives.\n");
    EXPECT_EQ(arrLines[1].strText.find("fake:disk1p1 is partition 1 of disk:1"), 0u);

    recorder.Clear();
    EXPECT_TRUE(ResolveDrives(Inventory(), {"disk:2", "fake:by-id/usb-stick"}, arrDrives, false));
    EXPECT_EQ(arrDrives.size(), 2u);
    EXPECT_TRUE(recorder.LogLines().empty());
}

TEST_F(DriveSelectorTest, SelectorsOfTheListNameTheirDrivesAgain)
{
    for (const T_ITEM_DATA& item : Inventory().Items()) {
        const std::string strSelector = DriveSelector(item, false);
        const T_CLI_DRIVE drive = Resolve(strSelector);
        EXPECT_EQ(drive.nKind, item.nKind) << strSelector;
        EXPECT_EQ(drive.strPath, item.strPath) << strSelector;
    }
    T_ITEM_DATA floppy;
    floppy.nKind = DRIVE_KIND_FLOPPY;
    floppy.nNumber = 1;
    floppy.strPath = "/dev/fd1";
    EXPECT_EQ(DriveSelector(floppy, true), "floppy:B");
    EXPECT_EQ(DriveSelector(floppy, false), "/dev/fd1");
}

}  // namespace
