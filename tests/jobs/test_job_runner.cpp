// The runner's order of work as the log and the window see it: stamps,
// result and summary lines, the .md5sum file, verdicts, sound and end.
#include <chrono>
#include <thread>

#include "engine/core/digest.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "tests/engine/zlib/zlib_test_support.h"
#include "tests/jobs/job_fixture.h"

namespace job_test {
namespace {

TEST_F(JobTest, AReadWritesStampsSummaryMd5SumFileVerdictAndEndInThatOrder)
{
    auto pDisk = AddDisk(1, 1, 3 * MIB + 512, "E");
    m_param.nTask = DUMPTASK_READ;
    m_param.bMakeMD5SUM = true;
    m_param.bShareRead = true;

    EXPECT_EQ(DumpTaskThread(&m_param), 0);

    const std::string strLog = m_recorder.LogText();
    const size_t nStart = strLog.find(" START.\n");
    const size_t nOk = strLog.find(" GRAVELMOOR OK.\n");
    const size_t nSummary = strLog.find("  DISK #1 (E:) - GRAVELMOOR=OK\n");
    const size_t nEnd = strLog.find(" END.\n");
    const size_t nTime = strLog.find("Processing Time 00:00:");
    ASSERT_NE(nStart, std::string::npos) << strLog;
    EXPECT_LT(nStart, nOk);
    EXPECT_LT(nOk, nSummary);
    EXPECT_LT(nSummary, nEnd);
    EXPECT_LT(nEnd, nTime);
    EXPECT_EQ(strLog.substr(nTime).size(), std::string("Processing Time 00:00:00.000.\n\n").size());
    EXPECT_EQ(strLog.find("Volume"), std::string::npos) << "share-read touches no volume";

    // (The .md5sum file's line and the digest: tests/e2e/test_read_file.sh.)
    EXPECT_EQ(ReadWholeFile(m_param.szImagePath), pDisk->Contents());
    EXPECT_TRUE(std::filesystem::exists(m_param.szImagePath + ".md5sum"));

    EXPECT_EQ(Posted(WM_USER_ERROR), (std::vector<std::pair<WPARAM_T, LPARAM_T>>{{1, 1}}));
    EXPECT_EQ(Posted(WM_DUMPTASK_END), (std::vector<std::pair<WPARAM_T, LPARAM_T>>{{0, 0}}));
    EXPECT_EQ(m_sound.m_arrPlayed, std::vector<std::string>{"C:\\tools\\Success.wav"});
}

TEST_F(JobTest, AFailedReadWithVerifyComparesNothingAndPlaysTheErrorSound)
{
    auto pDisk = AddDisk(0, 2, 2 * MIB);
    pDisk->FailReads(MIB, MIB + 512, SystemError::IoError());
    m_param.nTask = DUMPTASK_READ;
    m_param.bVerify = true;
    m_param.bMakeMD5SUM = true;

    EXPECT_EQ(RunDumpTask(&m_param), 0);

    EXPECT_TRUE(Logged(" GRAVELMOOR FAILED.\n"));
    EXPECT_TRUE(Logged("  DISK #2 - GRAVELMOOR=NG, VERIFY=--\n")) << m_recorder.LogText();
    EXPECT_FALSE(Logged(" VERIFY "));
    EXPECT_FALSE(std::filesystem::exists(m_param.szImagePath + ".md5sum"));
    EXPECT_EQ(Posted(WM_USER_ERROR), (std::vector<std::pair<WPARAM_T, LPARAM_T>>{{0, 0}}));
    EXPECT_EQ(m_sound.m_arrPlayed, std::vector<std::string>{"C:\\tools\\Error.wav"});
}

// A folder where the .md5sum file belongs: the read and its verify are
// OK, the job is not. (Without the verify, on a FIFO:
// tests/e2e/test_read_refusals.sh.)
TEST_F(JobTest, AnMd5SumFileThatCannotBeWrittenFailsTheDriveWithItsReason)
{
    AddDisk(1, 1, MIB);
    m_param.nTask = DUMPTASK_READ;
    m_param.bMakeMD5SUM = m_param.bVerify = true;
    const std::string strSum = m_param.szImagePath + ".md5sum";
    std::filesystem::create_directory(strSum);
    EXPECT_EQ(RunDumpTask(&m_param), 0);
    EXPECT_TRUE(Logged(" GRAVELMOOR OK.\ncan't create file " + strSum + ".\n")) << m_recorder.LogText();
    EXPECT_TRUE(Logged("  DISK #1 - GRAVELMOOR=OK, MD5SUM FILE=NG, VERIFY=OK\n"));
    EXPECT_EQ(Posted(WM_USER_ERROR), (std::vector<std::pair<WPARAM_T, LPARAM_T>>{{0, 1}}));
    EXPECT_EQ(m_sound.m_arrPlayed.back(), "C:\\tools\\Error.wav");
}

TEST_F(JobTest, AWriteVerifiesOnlyTheDrivesThatWereWrittenUnderTheirOwnNamesAndRows)
{
    WriteWholeFile(m_param.szImagePath, CFakeDisk::WithPattern(2 * MIB, 9)->Contents());
    AddDisk(0, 0, 2 * MIB);
    AddDisk(2, 1, 2 * MIB)->FailWrites(MIB, MIB + 1, SystemError::IoError());
    AddDisk(3, 2, 2 * MIB);
    m_param.nTask = DUMPTASK_WRITE;
    m_param.bVerify = true;
    m_param.bForceWrite = true;

    EXPECT_EQ(RunDumpTask(&m_param), 0);

    EXPECT_TRUE(Logged(" DISK WRITE FAILED.\n"));
    EXPECT_TRUE(Logged(" VERIFY OK.\n")) << m_recorder.LogText();
    EXPECT_TRUE(Logged("  DISK #0 - DISK WRITE=OK, VERIFY=OK\n"));
    EXPECT_TRUE(Logged("  DISK #1 - DISK WRITE=NG, VERIFY=--\n"));
    EXPECT_TRUE(Logged("  DISK #2 - DISK WRITE=OK, VERIFY=OK\n"));
    EXPECT_EQ(Posted(WM_USER_ERROR).back(), (std::pair<WPARAM_T, LPARAM_T>{1, 3}));
    EXPECT_FALSE(g_bOptForceVerify) << "force-write lends force-verify to its compare only";
}

// The operator's force-verify reaches the compare of a verify job: a
// compressed image holding more than the drive, past its end not zeros, is
// NG without it and OK with it.
TEST_F(JobTest, ForceVerifyDecidesAVerifyOfAnImageLongerThanTheDrive)
{
    std::vector<uint8_t> data = AddDisk(0, 0, 2 * MIB)->Contents();
    const std::vector<uint8_t> tail = CFakeDisk::WithPattern(MIB, 7)->Contents();
    data.insert(data.end(), tail.begin(), tail.end());
    m_param.szImagePath = m_dir.File("disk.gmz");
    WriteWholeFile(m_param.szImagePath, CompressToMemory(data));
    m_param.nTask = DUMPTASK_VERIFY;
    m_param.bCompressImage = true;
    for (const bool bForce : {false, true}) {
        m_param.bForceVerify = bForce;
        EXPECT_EQ(RunDumpTask(&m_param), 0);
        EXPECT_EQ(Posted(WM_USER_ERROR).back(), (std::pair<WPARAM_T, LPARAM_T>{bForce ? 1 : 0, 0}))
            << "force-verify " << bForce << "\n" << m_recorder.LogText();
    }
}

// A drive whose data change under the job: its write is good, the check
// after it is not, and the drive's verdict follows the check. With both
// options the digest check runs instead of a compare.
TEST_F(JobTest, AWriteWhoseCheckFailsGivesTheDriveNg)
{
    WriteWholeFile(m_param.szImagePath, CFakeDisk::WithPattern(2 * MIB, 9)->Contents());
    m_param.nTask = DUMPTASK_WRITE;
    for (const bool bMd5 : {false, true}) {
        SCOPED_TRACE(bMd5 ? "MD5 check" : "compare");
        m_recorder.Clear();
        AddDisk(0, 0, 2 * MIB);
        AddDisk(1, 1, 2 * MIB)->UnstableReads(MIB, MIB + 16);
        m_param.bVerify = true;
        m_param.bMD5Verify = bMd5;
        EXPECT_EQ(RunDumpTask(&m_param), 0);
        const std::string strCheck = bMd5 ? "MD5SUM CHECK=" : "VERIFY=";
        EXPECT_TRUE(Logged(" DISK WRITE OK.\n")) << m_recorder.LogText();
        EXPECT_EQ(Logged(" VERIFY "), !bMd5);
        EXPECT_TRUE(Logged("  DISK #0 - DISK WRITE=OK, " + strCheck + "OK\n"));
        EXPECT_TRUE(Logged("  DISK #1 - DISK WRITE=OK, " + strCheck + "NG\n"));
        const auto posted = Posted(WM_USER_ERROR);
        ASSERT_GE(posted.size(), 2u);
        EXPECT_EQ(std::vector(posted.end() - 2, posted.end()),
                  (std::vector<std::pair<WPARAM_T, LPARAM_T>>{{1, 0}, {0, 1}}));
        EXPECT_EQ(m_sound.m_arrPlayed.back(), "C:\\tools\\Error.wav");
    }
}

// A write checked against a digest file: the digest it holds is the image
// file's or a compressed image's data's (the line says which, and of what
// kind), or neither: every drive is NG. A file that holds no digest
// refuses the job before any drive is opened.
TEST_F(JobTest, AWriteChecksTheImageAgainstTheDigestFile)
{
    const std::vector<uint8_t> data = CFakeDisk::WithPattern(2 * MIB, 9)->Contents();
    const std::vector<uint8_t> gmz = CompressToMemory(data);
    const auto Of = [](EDigestKind eKind, const std::vector<uint8_t>& bytes) {
        CDigest digest(eKind);
        digest.Update(bytes.data(), bytes.size());
        return DigestText(digest.Final());
    };
    const struct {
        bool bCompressed;
        std::string strSum;
        const char* pszLine;
        bool bOk;
    } cases[] = {
        {false, Of(EDigestKind::Sha256, data) + "  disk.gmi\n", "the SHA-256 of the image file matches ", true},
        {true, Of(EDigestKind::Sha256, data) + "  disk.gmz\n", "the SHA-256 of the image data matches ", true},
        {true, Of(EDigestKind::Sha256, gmz) + " *disk.gmz\n", "the SHA-256 of the image file matches ", true},
        {true, Of(EDigestKind::Md5, data), "the MD5 of the image data matches ", true},
        {true, std::string(64, 'F') + "\r\n", "the image's digest does not match ", false},
        {false, "no digest\n", "digest file ", false},
    };
    m_param.nTask = DUMPTASK_WRITE;
    m_param.strCheckFile = m_dir.File("SHA256SUMS");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strSum);
        m_recorder.Clear();
        const auto pFirst = AddDisk(0, 0, 2 * MIB), pSecond = AddDisk(1, 1, 2 * MIB);
        m_param.szImagePath = m_dir.File(c.bCompressed ? "disk.gmz" : "disk.gmi");
        m_param.bCompressImage = c.bCompressed;
        WriteWholeFile(m_param.szImagePath, c.bCompressed ? gmz : data);
        WriteWholeFile(m_param.strCheckFile, std::vector<uint8_t>(c.strSum.begin(), c.strSum.end()));
        EXPECT_EQ(RunDumpTask(&m_param), 0);
        const std::string strLog = m_recorder.LogText();
        EXPECT_NE(strLog.find(c.pszLine + m_param.strCheckFile), std::string::npos) << strLog;
        const auto posted = Posted(WM_USER_ERROR);
        ASSERT_GE(posted.size(), 2u);
        EXPECT_EQ(std::vector(posted.end() - 2, posted.end()),
                  (std::vector<std::pair<WPARAM_T, LPARAM_T>>{{c.bOk, 0}, {c.bOk, 1}}));
        const bool bRefused = c.strSum == "no digest\n";
        EXPECT_EQ(pFirst->OpenCount() + pSecond->OpenCount() == 0, bRefused);
        EXPECT_EQ(pFirst->Contents() == data, !bRefused) << "a mismatch is found only once the drive is written";
    }
}

// A drive that stopped answering in the middle of a read: where the
// platform can cancel the waiting transfer, the abort ends the job.
TEST_F(JobTest, AnAbortCancelsADriveReadThatWaits)
{
    auto pDisk = AddDisk(0, 0, 4 * MIB);
    pDisk->HangReads(2 * MIB, 3 * MIB, true);
    std::thread job([this] { RunDumpTask(&m_param); });
    const auto tStart = std::chrono::steady_clock::now();
    while (m_recorder.LogText().find("GRAVELMOOR=") == std::string::npos &&
           std::chrono::steady_clock::now() - tStart < std::chrono::seconds(10)) {
        if (pDisk->HungReads() > 0) AbortDumpTask();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto tEnd = std::chrono::steady_clock::now();
    pDisk->ReleaseHang();
    job.join();
    EXPECT_LT(tEnd - tStart, std::chrono::seconds(5));
    EXPECT_TRUE(Logged("  DISK #0 - GRAVELMOOR=NG\n")) << m_recorder.LogText();
}

TEST_F(JobTest, AnEraseGivesEachDriveItsVerdictAndTheVolumesAreReleased)
{
    auto pDisk = AddDisk(0, 0, 2 * MIB, "E");
    AddDisk(1, 1, MIB)->FailWrites(0, 1, SystemError::IoError());
    m_param.nTask = DUMPTASK_ERASE;
    m_param.nEraseMethod = 1;
    EXPECT_EQ(RunDumpTask(&m_param), 0);
    EXPECT_TRUE(Logged(" ERASE NG.\n")) << m_recorder.LogText();
    EXPECT_TRUE(Logged("  DISK #1 - ERASE=NG\n"));
    EXPECT_FALSE(m_volumes['E']->Volume().Locked());
    EXPECT_EQ(Posted(WM_USER_ERROR).back(), (std::pair<WPARAM_T, LPARAM_T>{0, 1}));
}

}  // namespace
}  // namespace job_test
