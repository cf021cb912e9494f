// DRIVE words that are real paths: a symbolic link to a listed drive is
// that drive; a file is a path drive measured by its size; a path that is
// not there is refused. The listed drive here is a temporary file the test
// made, standing in for a disk node.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_drive_selector.h"
#include "tests/cli/cli_inventory_fixture.h"
#include "jobs/dump_task_param.h"
#include "tests/support/temp_dir.h"

namespace {

class DrivePathTest : public cli_test::CliInventoryTest {
protected:
    DrivePathTest()
    {
        WriteWholeFile(m_strListed, std::vector<uint8_t>(8192, 0x5A));
        m_pScanner->SetDrivePath(DRIVE_KIND_DISK, 5, m_strListed);
    }

    bool Resolve(const std::string& strWord, T_CLI_DRIVE& drive, std::string& strError)
    {
        return ResolveDrive(Inventory(), strWord, drive, strError, false);
    }

    CTempDir m_dir;
    const std::string m_strListed = m_dir.File("disk5.node");
};

TEST_F(DrivePathTest, ASymbolicLinkToAListedDriveIsThatDrive)
{
    const std::string strLink = m_dir.File("by-id-usb-Stick_0001");
    std::filesystem::create_symlink(m_strListed, strLink);
    T_CLI_DRIVE drive;
    std::string strError;
    ASSERT_TRUE(Resolve(strLink, drive, strError)) << strError;
    EXPECT_EQ(drive.nKind, DRIVE_KIND_DISK);
    EXPECT_EQ(drive.nNumber, 5u);
    EXPECT_EQ(drive.strPath, m_strListed);
    ASSERT_TRUE(Resolve(m_dir.File("./disk5.node"), drive, strError)) << strError;  // another spelling
    EXPECT_EQ(drive.nNumber, 5u);
}

TEST_F(DrivePathTest, AFileIsAPathDriveOfItsSizeAndAMissingOneIsLeftToTheJob)
{
    const std::string strFile = m_dir.File("image-as-drive.bin");
    WriteWholeFile(strFile, std::vector<uint8_t>(12345, 1));
    T_CLI_DRIVE drive;
    std::string strError;
    ASSERT_TRUE(Resolve(strFile, drive, strError)) << strError;
    EXPECT_EQ(drive.nKind, DRIVE_KIND_PATH);
    EXPECT_EQ(drive.strPath, strFile);
    EXPECT_EQ(drive.strText, strFile);
    EXPECT_EQ(drive.nSize, 12345u);

    ASSERT_TRUE(Resolve(m_dir.File("missing.bin"), drive, strError)) << strError;
    EXPECT_EQ(drive.nKind, DRIVE_KIND_PATH);
    EXPECT_EQ(drive.nSize, 0u);
}

}  // namespace
