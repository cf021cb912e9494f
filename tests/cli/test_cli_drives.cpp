// The drives of the command line: DRIVE words (selectors of listed drives,
// paths that are listed drives under another name, plain paths, and what
// is refused), and the list command that shows the selectors.
#include <gtest/gtest.h>

#include "cli/cli_commands.h"
#include "cli/cli_drive_selector.h"
#include "engine/core/format.h"
#include "jobs/job_runner_param.h"
#include "tests/drives/scripted_machine.h"
#include "tests/support/recorder.h"

namespace {

using namespace drive_test;

// The scripted machine, with "fake:disk1p1" the first partition of disk 1
// and "fake:by-id/usb-stick" another name of disk 1.
class DriveSelectorTest : public ::testing::Test, public CScriptedMachine {
protected:
    DriveSelectorTest()
    {
        AddPartition(1, 1);
        auto pOtherName = std::make_shared<CFakeDisk>(std::vector<uint8_t>(16));
        pOtherName->SetStorage(BlockStorage(FakeDeviceId(1)));
        m_devices.Add("fake:by-id/usb-stick", pOtherName);
    }

    // "fake:diskNpP", partition P of disk N.
    std::shared_ptr<CFakeDisk> AddPartition(uint32_t nDisk, int32_t nPartition)
    {
        auto pPart = std::make_shared<CFakeDisk>(std::vector<uint8_t>(512));
        pPart->SetStorage(BlockStorage(FakeDeviceId(nDisk, nPartition), FakeDeviceId(nDisk)));
        pPart->Volume().SetDeviceNumber(T_DEVICE_NUMBER{DEVICE_NUMBER_TYPE_DISK, FakeDeviceId(nDisk), nPartition});
        m_devices.Add("fake:disk" + std::to_string(nDisk) + "p" + std::to_string(nPartition), pPart);
        return pPart;
    }

    // The inventory over the script as it stands; made on first use.
    CCliInventory& Inventory()
    {
        const auto mountPoints = [](const CDriveInfo& drives, const T_JOB_VOLUME& volume) {
            return RootsOfVolume(drives, volume.strName.substr(0, 1));  // "E:" -> "E"
        };
        if (!m_pInventory) {
            m_pInventory = std::make_unique<CCliInventory>(std::move(m_pOwnedScanner), m_devices, mountPoints);
        }
        return *m_pInventory;
    }

    std::unique_ptr<CCliInventory> m_pInventory;

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

TEST_F(DriveSelectorTest, SelectorsNameTheListedDriveOrSayThereIsNone)
{
    const T_CLI_DRIVE disk = Resolve("DISK:1");
    EXPECT_EQ(disk.nKind, DRIVE_KIND_DISK);
    EXPECT_EQ(disk.nNumber, 1u);
    EXPECT_EQ(disk.strPath, "fake:disk1");
    EXPECT_EQ(disk.strText, " DRIVE#01 (E:, F:) (  1.00MiB) USB     Flash Disk      ");
    EXPECT_EQ(disk.nSize, 1u << 20);
    EXPECT_EQ(Refusal("disk:7"), "no disk 7: 'gravelmoor-cli list' shows the drives");
    for (const char* pWord : {"disk:", "disk:1x", "disk:-1", "disk:99999999999", "cdrom: 0"}) {
        const std::string strError = Refusal(pWord);
        EXPECT_EQ(strError.find(std::string(pWord) + " is not a drive"), 0u) << strError;
    }
    for (const T_ITEM_DATA& item : Inventory().Items()) {  // the list's selectors name their drives again
        const T_CLI_DRIVE drive = Resolve(DriveSelector(item, false));
        EXPECT_EQ(drive.strPath, item.strPath) << DriveSelector(item, false);
    }
}

TEST_F(DriveSelectorTest, FloppiesByLetterOnlyWhereFloppiesHaveLetters)
{
    m_scanner.MountLetter("A", "\\\\?\\Volume{A}\\", DRIVE_TYPE_REMOVABLE, "\\Device\\Floppy0");
    m_devices.Add("\\\\.\\A:", std::make_shared<CFakeDisk>(std::vector<uint8_t>(1474560)));
    EXPECT_NE(Refusal("floppy:A").find("floppy drives have no letters on this system"), std::string::npos);
    EXPECT_EQ(Resolve("floppy:a:", true).strPath, "\\\\.\\A:");
    EXPECT_EQ(Refusal("floppy:B", true), "no floppy drive B: 'gravelmoor-cli list' shows the drives");
    T_ITEM_DATA floppy;
    floppy.nKind = DRIVE_KIND_FLOPPY;
    floppy.nNumber = 1;
    floppy.strPath = "/dev/fd1";
    EXPECT_EQ(DriveSelector(floppy, true), "floppy:B");
    EXPECT_EQ(DriveSelector(floppy, false), "/dev/fd1");
}

// A path that opens a listed drive is that drive, opened by the list's own
// path; a partition is refused, naming its whole disk.
TEST_F(DriveSelectorTest, AnotherNameOfAListedDeviceIsThatDriveAndAPartitionIsRefused)
{
    const T_CLI_DRIVE byId = Resolve("fake:by-id/usb-stick");
    EXPECT_EQ(byId.nKind, DRIVE_KIND_DISK);
    EXPECT_EQ(byId.nNumber, 1u);
    EXPECT_EQ(byId.strPath, "fake:disk1");
    EXPECT_EQ(Refusal("fake:disk1p1"),
              "fake:disk1p1 is partition 1 of disk:1 (fake:disk1), not a whole drive: give disk:1 or fake:disk1; "
              "the jobs work on whole drives");
    AddPartition(9, 3);  // of a disk the list does not show
    EXPECT_EQ(Refusal("fake:disk9p3").find("fake:disk9p3 is partition 3 of a disk, not a whole drive"), 0u);
}

TEST_F(DriveSelectorTest, AnUnlistedDeviceOrAFileIsAPathDriveMeasuredAsItOpens)
{
    auto pOther = std::make_shared<CFakeDisk>(std::vector<uint8_t>(4096));
    pOther->SetStorage(BlockStorage(0x900));
    m_devices.Add("fake:other", pOther);
    const T_CLI_DRIVE other = Resolve("fake:other");
    EXPECT_EQ(other.nKind, DRIVE_KIND_PATH);
    EXPECT_EQ(other.strText, "fake:other");
    EXPECT_EQ(other.nSize, 4096u);
    // A file that backs a listed loop device is still the file, not the drive.
    T_STORAGE backing;
    backing.self.arrFiles = {{0x801, 77}};
    T_STORAGE loop = BlockStorage(0x700);
    loop.self.arrFiles = backing.self.arrFiles;
    AddDrive(DRIVE_KIND_DISK, 3, 2048)->SetStorage(loop);
    auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>(2048));
    pFile->SetKind(EDeviceKind::RegularFile);
    pFile->SetStorage(backing);
    m_devices.Add("fake:loop-backing.img", pFile);
    EXPECT_EQ(Resolve("fake:loop-backing.img").nKind, DRIVE_KIND_PATH);
}

TEST_F(DriveSelectorTest, EveryRefusedWordIsLoggedAndTheGoodOnesKept)
{
    CRecorder recorder;
    CLogCapture capture(recorder);
    std::vector<T_CLI_DRIVE> arrDrives;
    EXPECT_FALSE(ResolveDrives(Inventory(), {"disk:0", "disk:7", "fake:disk1p1", "cdrom:0"}, arrDrives, false));
    ASSERT_EQ(arrDrives.size(), 2u);
    EXPECT_EQ(arrDrives[1].strPath, "fake:cd0");
    const std::vector<T_LOG_LINE> arrLines = recorder.LogLines();
    ASSERT_EQ(arrLines.size(), 2u);
    EXPECT_EQ(arrLines[0].strText, "no disk 7: 'gravelmoor-cli list' shows the drives.\n");
    EXPECT_EQ(arrLines[1].strText.find("fake:disk1p1 is partition 1 of disk:1"), 0u);
}

TEST_F(DriveSelectorTest, TheListShowsEachDriveWithSelectorTextPathSizeAndVolumes)
{
    AddDrive(DRIVE_KIND_DISK, 3, 4096)->FailLengthRequest(SystemError::IoError(), true);
    EXPECT_EQ(DriveListing(Inventory(), false),
              "disk:0   DRIVE#00 (C:) (  3.00MiB) ATA     System Disk\n"
              "         fake:disk0, 3145728 bytes\n"
              "         volume C: (\\\\.\\C:) mounted on C:\\\n"
              "disk:1   DRIVE#01 (E:, F:) (  1.00MiB) USB     Flash Disk\n"
              "         fake:disk1, 1048576 bytes\n"
              "         volume E: (\\\\.\\E:) mounted on E:\\\n"
              "         volume F: (\\\\.\\F:) mounted on F:\\\n"
              "disk:2   DRIVE#02 (--) (1000.00B  )\n"
              "         fake:disk2, 1000 bytes\n"
              "disk:3   DRIVE#03 (--) " + FormatText("ERR%08X", SystemError::IoError()) + "\n"
              "         fake:disk3, size unknown\n"
              "cdrom:0  CDROM#00 (--) *NOT READY*\n"
              "         fake:cd0, no medium\n");
    CFakeDeviceProvider noDevices;
    CCliInventory empty(std::make_unique<CScriptedVolumeScanner>(), noDevices, PlatformMountPoints);
    EXPECT_EQ(DriveListing(empty, false),
              "No drives could be opened; listing them may need administrator (root) rights.\n");
}

TEST_F(DriveSelectorTest, TheListGoesToStandardOutputAndFailsWhenItCannot)
{
    std::string strOut, strErr;
    uint32_t nWriteError = 0;
    T_CONSOLE_IO io;
    io.write = [&](EStream eStream, std::string_view strText) {
        (eStream == EStream::Output ? strOut : strErr) += strText;
        return eStream == EStream::Output ? nWriteError : 0u;
    };
    EXPECT_EQ(RunListCommand(Inventory(), io), 0);
    EXPECT_EQ(strOut, DriveListing(Inventory()));
    EXPECT_EQ(strErr, "");
    nWriteError = 28;
    EXPECT_EQ(RunListCommand(Inventory(), io), 1);
    EXPECT_NE(strErr.find("standard output could not be written"), std::string::npos) << strErr;
}

}  // namespace
