// The list command: each drive with its selector, text, path and size, its
// volumes and where they are mounted; and the inventory behind it.
#include <gtest/gtest.h>

#include "cli/cli_args.h"
#include "cli/cli_list.h"
#include "tests/cli/cli_inventory_fixture.h"

namespace {

using cli_test::CliInventoryTest;

class ListCommandTest : public CliInventoryTest {};

TEST_F(ListCommandTest, EveryDriveWithSelectorTextPathSizeAndVolumes)
{
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
              "cdrom:0  CDROM#00 (--) *NOT READY*\n"
              "         fake:cd0, no medium\n");
}

TEST_F(ListCommandTest, UnmountedVolumesAndUnmeasuredDrivesSaySo)
{
    m_pScanner->MountLetter("G", "\\\\?\\Volume{G}\\", DRIVE_TYPE_REMOVABLE);
    m_pScanner->SetStorage("\\\\?\\Volume{G}", StorageOnDisk(2, 1));
    AddDrive(DRIVE_KIND_DISK, 3, 4096)->FailLengthRequest(SystemError::IoError(), true);
    m_pInventory = std::make_unique<CCliInventory>(
        std::move(m_pOwnedScanner), m_devices,
        [](const CDriveInfo&, const T_JOB_VOLUME&) { return std::vector<std::string>{}; });
    const std::string strText = DriveListing(Inventory(), false);
    EXPECT_NE(strText.find("disk:2   DRIVE#02 (G:) (1000.00B  )\n"
                           "         fake:disk2, 1000 bytes\n"
                           "         volume G: (\\\\.\\G:) not mounted\n"),
              std::string::npos)
        << strText;
    EXPECT_NE(strText.find("disk:3   DRIVE#03 (--) ERR"), std::string::npos) << strText;
    EXPECT_NE(strText.find("         fake:disk3, size unknown\n"), std::string::npos) << strText;
}

TEST_F(ListCommandTest, NoDriveAtAllPointsAtTheRightsItTakes)
{
    auto pEmpty = std::make_unique<CScriptedVolumeScanner>();
    CFakeDeviceProvider noDevices;
    CCliInventory inventory(std::move(pEmpty), noDevices, PlatformMountPoints);
    EXPECT_EQ(DriveListing(inventory, false),
              "No drives could be opened; listing them may need administrator (root) rights.\n");
}

TEST_F(ListCommandTest, PrintsOnStandardOutputAndFailsWhenItCannot)
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

TEST_F(ListCommandTest, TheDriveListIsBuiltOnceAndTheRunnersInventoryIsReadyWithIt)
{
    IJobInventory& jobs = Inventory().Inventory();  // before any Items(): refreshed all the same
    EXPECT_EQ(jobs.GetDrivePath(DRIVE_KIND_DISK, 1), "fake:disk1");
    const std::vector<T_JOB_VOLUME> arrVolumes = jobs.GetDriveVolumes(DRIVE_KIND_DISK, 1);
    ASSERT_EQ(arrVolumes.size(), 2u);
    EXPECT_EQ(arrVolumes[0].strName, "E:");
    EXPECT_EQ(arrVolumes[1].strName, "F:");
    const T_ITEM_DATA* pFirst = Inventory().Items().data();
    m_pScanner->SetDrivePath(DRIVE_KIND_DISK, 5, "fake:disk0");  // a drive that comes later is not seen
    EXPECT_EQ(Inventory().Items().data(), pFirst);
    EXPECT_EQ(Inventory().Items().size(), 4u);
}

TEST(ListCommandArgs, ListTakesNoOperandsAndNoOptionsButHelp)
{
    EXPECT_EQ(ParseCliArgs({"gravelmoor-cli", "list"}).args.eCommand, ECliCommand::List);
    EXPECT_EQ(ParseCliArgs({"gravelmoor-cli", "list", "--help"}).args.eCommand, ECliCommand::Help);
    T_PARSE_RESULT r = ParseCliArgs({"gravelmoor-cli", "list", "/dev/sdb"});
    EXPECT_FALSE(r.bOk);
    EXPECT_EQ(r.strError, "list takes no arguments, not \"/dev/sdb\"");
    r = ParseCliArgs({"gravelmoor-cli", "list", "--yes"});
    EXPECT_FALSE(r.bOk);
    EXPECT_EQ(r.strError, "list does not take the option --yes");
    EXPECT_FALSE(ParseCliArgs({"gravelmoor-cli", "list", "--buffer=64"}).bOk);
}

}  // namespace
