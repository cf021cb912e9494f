// The volumes of a job's disks: locked and dismounted before the engines,
// ejected or unlocked after them, and the ones the window holds left alone.
#include "engine/core/system_error.h"
#include "tests/jobs/job_fixture.h"

namespace job_test {
namespace {

class JobVolumeTest : public JobTest {
protected:
    // A verify job of disk 0 (volumes E: and F:) against a matching image,
    // or a mismatching one.
    void RunVerify(bool bMatch)
    {
        auto pDisk = AddDisk(0, 0, MIB, "EF");
        WriteWholeFile(m_param.szImagePath, bMatch ? pDisk->Contents() : std::vector<uint8_t>(MIB, 0));
        m_param.nTask = DUMPTASK_VERIFY;
        EXPECT_EQ(RunDumpTask(&m_param), 0);
    }
    CFakeVolume& Vol(char c) { return m_volumes[c]->Volume(); }
};

TEST_F(JobVolumeTest, EveryVolumeIsLockedAndDismountedBeforeTheJobAndUnlockedAfter)
{
    RunVerify(true);
    const std::string strLog = m_recorder.LogText();
    EXPECT_NE(strLog.find("Volume \\\\.\\E: lock...OK.\nVolume \\\\.\\E: unmount...OK.\n"
                          "Volume \\\\.\\F: lock...OK.\nVolume \\\\.\\F: unmount...OK.\n"),
              std::string::npos)
        << strLog;
    EXPECT_LT(strLog.find("F: unmount...OK."), strLog.find(" VERIFY OK."));
    EXPECT_NE(strLog.find("Volume \\\\.\\E: unlock...OK.\nVolume \\\\.\\F: unlock...OK.\n"), std::string::npos);
    EXPECT_LT(strLog.find(" VERIFY OK."), strLog.find("E: unlock"));
    for (const char c : std::string("EF")) {
        EXPECT_FALSE(Vol(c).Mounted());
        EXPECT_FALSE(Vol(c).Locked());
        EXPECT_EQ(m_volumes[c]->OpenCount(), m_volumes[c]->CloseCount());
    }
}

TEST_F(JobVolumeTest, AVolumeTheWindowHoldsIsNeitherLockedNorUnlocked)
{
    m_param.dwLockedLetters = 1u << ('F' - 'A');
    RunVerify(true);
    EXPECT_EQ(Vol('F').RequestCount(EFakeRequest::Lock), 0u);
    EXPECT_EQ(Vol('F').RequestCount(EFakeRequest::Unlock), 0u);
    EXPECT_EQ(Vol('E').RequestCount(EFakeRequest::Lock), 1u);
    EXPECT_TRUE(Logged("  DISK #0 (E:, F:) - VERIFY=OK"));
}

TEST_F(JobVolumeTest, ARefusedLockWarnsGoesOnAndIsNotUnlocked)
{
    auto pDisk = AddDisk(0, 0, MIB, "EF");
    Vol('E').FailRequest(EFakeRequest::Lock, SystemError::IoError());
    WriteWholeFile(m_param.szImagePath, pDisk->Contents());
    m_param.nTask = DUMPTASK_VERIFY;
    EXPECT_EQ(RunDumpTask(&m_param), 0);
    EXPECT_TRUE(Logged("\nvolume \\\\.\\E: lock failed.\n")) << m_recorder.LogText();
    EXPECT_EQ(Vol('E').RequestCount(EFakeRequest::Lock), 10u);
    EXPECT_EQ(Vol('E').RequestCount(EFakeRequest::Unlock), 0u);
    EXPECT_FALSE(Logged("E: unlock"));
    EXPECT_TRUE(Logged("  DISK #0 (E:, F:) - VERIFY=OK"));
}

// With the eject option a good drive is ejected, not unlocked; a failed
// one is unlocked, not ejected.
TEST_F(JobVolumeTest, OnlyAGoodDriveIsEjectedAndAFailedOneIsUnlocked)
{
    m_param.bEject = true;
    for (const bool bGood : {true, false}) {
        m_recorder.Clear();
        RunVerify(bGood);
        EXPECT_EQ(Logged("Volume \\\\.\\E: eject...OK.\n"), bGood) << m_recorder.LogText();
        EXPECT_EQ(Logged("Volume \\\\.\\E: unlock...OK.\n"), !bGood);
        EXPECT_EQ(Vol('E').MediaPresent(), !bGood);
    }
}

TEST_F(JobVolumeTest, ADismountThatFindsNoMediumCountsAsDoneAtTheEject)
{
    m_param.bEject = true;
    auto pDisk = AddDisk(0, 0, MIB, "E");
    WriteWholeFile(m_param.szImagePath, pDisk->Contents());
    m_param.nTask = DUMPTASK_VERIFY;
    Vol('E').FailRequest(EFakeRequest::Dismount, SystemError::NotReady());
    EXPECT_EQ(RunDumpTask(&m_param), 0);
    // Before the job it is only a warning; at the end it counts as dismounted.
    EXPECT_TRUE(Logged("\nvolume \\\\.\\E: unmount failed.\n")) << m_recorder.LogText();
    EXPECT_TRUE(Logged("E: eject...OK.\n"));
}

TEST_F(JobVolumeTest, ShareReadOpensNoVolumeAtAll)
{
    m_param.bShareRead = true;
    m_param.bEject = true;
    RunVerify(true);
    EXPECT_EQ(m_volumes['E']->OpenCount(), 0u);
    EXPECT_FALSE(Logged("Volume"));
}

}  // namespace
}  // namespace job_test
