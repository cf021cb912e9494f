// An abort during each job kind: the job ends promptly as a failed one with
// the error sound, every volume it locked is released, and no descriptor it
// opened (the image file, its drives) is left open in the process.
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/jobs/job_fixture.h"

namespace job_test {
namespace {

// The descriptors open in this process right now.
size_t OpenDescriptors()
{
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<size_t>(std::distance(begin(fds), end(fds)));
}

class JobAbortTest : public JobTest {
protected:
    // Runs the job and aborts it (again and again, as the front ends do)
    // from its first progress figure until it has ended.
    void RunAndAbort()
    {
        std::thread job([this] { RunDumpTask(&m_param); });
        const auto tStart = std::chrono::steady_clock::now();
        while (Posted(WM_ENGINE_PROGRESS).empty() && std::chrono::steady_clock::now() - tStart < std::chrono::seconds(20))
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        while (m_recorder.LogText().find(" END.\n") == std::string::npos &&
               std::chrono::steady_clock::now() - tStart < std::chrono::seconds(20)) {
            AbortDumpTask();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        job.join();
        m_elapsed = std::chrono::steady_clock::now() - tStart;
    }

    void ExpectCleanEnd(size_t nDescriptorsBefore, const std::string& strVerdict)
    {
        EXPECT_LT(m_elapsed, std::chrono::seconds(4));
        EXPECT_EQ(OpenDescriptors(), nDescriptorsBefore);
        EXPECT_NE(m_recorder.LogText().find(strVerdict), std::string::npos) << m_recorder.LogText();
        for (const auto& [c, pVolume] : m_volumes) {
            EXPECT_FALSE(pVolume->Volume().Locked()) << c;
            EXPECT_EQ(pVolume->OpenCount(), pVolume->CloseCount()) << c;
        }
        EXPECT_EQ(Posted(WM_USER_ERROR).back().first, 0u);
        EXPECT_EQ(m_sound.m_arrPlayed.back(), "C:\\tools\\Error.wav");
    }

    std::chrono::steady_clock::duration m_elapsed{};
};

TEST_F(JobAbortTest, EveryJobKindLeavesNoDescriptorOpen)
{
    struct T_CASE {
        int nTask;
        bool bVerify;
        const char* pszVerdict;
    };
    const T_CASE cases[] = {
        {DUMPTASK_READ, true, "  DISK #0 (E:) - GRAVELMOOR=NG, VERIFY=--\n"},
        {DUMPTASK_WRITE, true, "  DISK #0 (E:) - DISK WRITE=NG, VERIFY=--\n"},
        {DUMPTASK_VERIFY, false, "  DISK #0 (E:) - VERIFY=NG\n"},
        {DUMPTASK_ERASE, false, "  DISK #0 (E:) - ERASE=NG\n"},
    };
    WriteWholeFile(m_dir.File("source.gmi"), CFakeDisk::WithPattern(32 * MIB, 9)->Contents());
    for (const T_CASE& c : cases) {
        SCOPED_TRACE(c.nTask);
        m_recorder.Clear();
        m_volumes.clear();
        auto pDisk = AddDisk(0, 0, 32 * MIB, "E");
        pDisk->SetReadDelayMs(100);
        pDisk->SetWriteDelayMs(100);
        m_param.nTask = c.nTask;
        m_param.bVerify = c.bVerify;
        m_param.szImagePath = m_dir.File(c.nTask == DUMPTASK_READ ? "new.gmi" : "source.gmi");
        const size_t nBefore = OpenDescriptors();
        RunAndAbort();
        ExpectCleanEnd(nBefore, c.pszVerdict);
    }
}

}  // namespace
}  // namespace job_test
