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
    EXPECT_NE(m_recorder.LogText().find("  DISK #0 (E:, F:) - VERIFY=OK"), std::string::npos);
}

TEST_F(JobVolumeTest, ARefusedLockWarnsGoesOnAndIsNotUnlocked)
{
    auto pDisk = AddDisk(0, 0, MIB, "EF");
    Vol('E').FailRequest(EFakeRequest::Lock, SystemError::IoError());
    WriteWholeFile(m_param.szImagePath, pDisk->Contents());
    m_param.nTask = DUMPTASK_VERIFY;
    EXPECT_EQ(RunDumpTask(&m_param), 0);
    const std::string strLog = m_recorder.LogText();
    EXPECT_NE(strLog.find("\nvolume \\\\.\\E: lock failed.\n"), std::string::npos) << strLog;
    EXPECT_EQ(Vol('E').RequestCount(EFakeRequest::Lock), 10u);
    EXPECT_EQ(Vol('E').RequestCount(EFakeRequest::Unlock), 0u);
    EXPECT_EQ(strLog.find("E: unlock"), std::string::npos);
    EXPECT_NE(strLog.find("  DISK #0 (E:, F:) - VERIFY=OK"), std::string::npos);
}

TEST_F(JobVolumeTest, AGoodDriveIsEjectedNotUnlocked)
{
    m_param.bEject = true;
    RunVerify(true);
    EXPECT_NE(m_recorder.LogText().find("Volume \\\\.\\E: eject...OK.\n"), std::string::npos) << m_recorder.LogText();
    EXPECT_FALSE(Vol('E').MediaPresent());
    EXPECT_EQ(m_recorder.LogText().find("unlock"), std::string::npos);
}

TEST_F(JobVolumeTest, AFailedDriveIsUnlockedNotEjected)
{
    m_param.bEject = true;
    RunVerify(false);
    EXPECT_EQ(m_recorder.LogText().find("eject"), std::string::npos);
    EXPECT_NE(m_recorder.LogText().find("Volume \\\\.\\E: unlock...OK.\n"), std::string::npos);
    EXPECT_TRUE(Vol('E').MediaPresent());
}

TEST_F(JobVolumeTest, ADismountThatFindsNoMediumCountsAsDoneAtTheEject)
{
    m_param.bEject = true;
    auto pDisk = AddDisk(0, 0, MIB, "E");
    WriteWholeFile(m_param.szImagePath, pDisk->Contents());
    m_param.nTask = DUMPTASK_VERIFY;
    Vol('E').FailRequest(EFakeRequest::Dismount, SystemError::NotReady());
    EXPECT_EQ(RunDumpTask(&m_param), 0);
    const std::string strLog = m_recorder.LogText();
    // Before the job it is only a warning; at the end it counts as dismounted.
    EXPECT_NE(strLog.find("\nvolume \\\\.\\E: unmount failed.\n"), std::string::npos) << strLog;
    EXPECT_NE(strLog.find("E: eject...OK.\n"), std::string::npos) << strLog;
}

TEST_F(JobVolumeTest, ShareReadOpensNoVolumeAtAll)
{
    m_param.bShareRead = true;
    m_param.bEject = true;
    RunVerify(true);
    EXPECT_EQ(m_volumes['E']->OpenCount(), 0u);
    EXPECT_EQ(m_recorder.LogText().find("Volume"), std::string::npos);
}

}  // namespace
}  // namespace job_test
