// Whole runs of the verify command in this process, on fake drives and a
// fake image: the OK/NG summary and its reasons, exit statuses, what is
// refused before the compare, and a stop.
#include <gtest/gtest.h>

#include "engine/core/system_error.h"
#include "tests/cli/cli_run_fixture.h"

namespace {

using cli_test::MIB;
constexpr uint64_t SIZE = 2 * MIB + 300;
const std::string IMAGE = "fake-image.gmi";

class CliVerifyRun : public cli_test::CliRunTest {
protected:
    void SetUp() override { m_devices.Add(IMAGE, m_pImage); }

    // A drive holding the image's bytes, registered under strPath.
    std::shared_ptr<CFakeDisk> Copy(const std::string& strPath)
    {
        auto pDrive = std::make_shared<CFakeDisk>(m_pImage->Contents());
        m_devices.Add(strPath, pDrive);
        return pDrive;
    }

    int Verify(std::vector<std::string> args)
    {
        args.insert(args.begin(), "verify");
        return RunCli(args);
    }

    std::shared_ptr<CFakeDisk> m_pImage = cli_test::FakeImage(SIZE);
};

TEST_F(CliVerifyRun, IdenticalDrivesAreOk)
{
    Copy("fake-a");
    Copy("fake-b");
    EXPECT_EQ(Verify({IMAGE, "fake-a", "fake-b"}), 0) << m_strOut;
    EXPECT_TRUE(OutHas("  fake-a - VERIFY=OK\n  fake-b - VERIFY=OK\n")) << m_strOut;
    EXPECT_EQ(m_strErr, "");
}

TEST_F(CliVerifyRun, ADifferenceOrAnUnreadableDriveIsNgWithItsReason)
{
    Copy("fake-same");
    std::vector<uint8_t> changed = m_pImage->Contents();
    changed[SIZE - 1] ^= 0x01;  // the last byte of the short last block
    m_devices.Add("fake-changed", std::make_shared<CFakeDisk>(changed));
    Copy("fake-bad")->FailReads(MIB, MIB + 1, SystemError::IoError());
    EXPECT_EQ(Verify({IMAGE, "fake-same", "fake-changed", "fake-bad"}), 1);
    EXPECT_TRUE(OutHas("fake-changed - 00200000-0020012B\n")) << m_strOut;
    EXPECT_TRUE(OutHas("  fake-same - VERIFY=OK\n  fake-changed - VERIFY=NG\n  fake-bad - VERIFY=NG\n"))
        << m_strOut;
}

TEST_F(CliVerifyRun, ADamagedCompressedImageFailsEveryDriveAsUnverified)
{
    Copy("fake-a");
    auto pBroken = std::make_shared<CFakeDisk>(std::vector<uint8_t>{0x1F, 0x8B, 0x08, 0x00, 0, 0, 0, 0, 0, 3, 0xFF});
    pBroken->SetKind(EDeviceKind::RegularFile);
    m_devices.Add("broken.gmz", pBroken);
    EXPECT_EQ(Verify({"broken.gmz", "fake-a"}), 1);
    EXPECT_TRUE(OutHas("file compress read error (")) << m_strOut;
    EXPECT_TRUE(OutHas("  fake-a - VERIFY=NG\n")) << m_strOut;
}

// A drive shorter than the image's data does not hold the image, unless
// force-verify asks to compare the common length only.
TEST_F(CliVerifyRun, AShorterDriveIsNgUnlessForceVerify)
{
    std::vector<uint8_t> head(m_pImage->Contents().begin(), m_pImage->Contents().begin() + MIB);
    m_devices.Add("fake-short", std::make_shared<CFakeDisk>(head));
    EXPECT_EQ(Verify({IMAGE, "fake-short"}), 1) << m_strOut;
    EXPECT_TRUE(OutHas("[ERROR] fake-short - the image's data go on 1048876 bytes past the drive's end, not all zero.\n"
                       "[ERROR] "))
        << m_strOut;
    EXPECT_TRUE(OutHas("  fake-short - VERIFY=NG\n")) << m_strOut;
    m_strOut.clear();
    EXPECT_EQ(Verify({"--force-verify", IMAGE, "fake-short"}), 0) << m_strOut;
    EXPECT_TRUE(OutHas("  fake-short - VERIFY=OK\n")) << m_strOut;
}

// Reading the same drive twice proves nothing; a disk and its partition
// may be verified together, since nothing is written.
TEST_F(CliVerifyRun, TheSameDriveTwiceIsRefusedButOverlapIsNot)
{
    auto pDisk = Copy("fake-disk");
    m_devices.Add("fake-alias", pDisk);
    EXPECT_EQ(Verify({IMAGE, "fake-disk", "fake-alias"}), 1);
    EXPECT_EQ(m_strOut, "[ERROR] fake-disk and fake-alias are the same drive: give each drive once.\n");

    m_strOut.clear();
    pDisk->SetStorage(T_STORAGE{{{500}, {}}, {}});
    Copy("fake-part")->SetStorage(T_STORAGE{{{501}, {}}, {{500}, {}}});
    EXPECT_EQ(Verify({IMAGE, "fake-disk", "fake-part"}), 0) << m_strOut;
}

TEST_F(CliVerifyRun, MissingImageOrDriveIsRefused)
{
    Copy("fake-a");
    EXPECT_EQ(Verify({"no-such-image.gmi", "fake-a"}), 1);
    EXPECT_TRUE(m_strOut.starts_with("[ERROR] can't open file no-such-image.gmi: ")) << m_strOut;
    m_strOut.clear();
    EXPECT_EQ(Verify({IMAGE, "fake-a", "no-such-drive"}), 1);
    EXPECT_TRUE(m_strOut.starts_with("[ERROR] can't open disk no-such-drive: ")) << m_strOut;
    EXPECT_FALSE(OutHas("VERIFY ")) << m_strOut;
}

TEST_F(CliVerifyRun, StopEndsWithTheSignalsStatus)
{
    Copy("fake-slow")->SetReadDelayMs(1000);
    m_output.eProgress = EProgressMode::Live;
    m_onWrite = [this] {  // at the first progress figure, in the middle of the compare
        if (m_strErr.find('%') != std::string::npos) m_stop.Request(EStopSignal::Interrupt);
    };
    EXPECT_EQ(Verify({IMAGE, "fake-slow"}), 130);
    EXPECT_TRUE(OutHas("  fake-slow - VERIFY=NG\n")) << m_strOut;
    EXPECT_TRUE(OutHas("stopped by " + std::string(StopSignalText(EStopSignal::Interrupt)) +
                       ": the verify was cut short.\n"))
        << m_strOut;
}

}  // namespace
