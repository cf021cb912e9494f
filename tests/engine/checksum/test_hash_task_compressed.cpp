// The checksum task on compressed images, and the images it cannot hash:
// the digest of the data an image holds, equal to the read engine's for the
// drive it was made from; failures that leave the operator's log alone.
#include "engine/checksum/md5sum_file.h"
#include "engine/core/format.h"
#include "engine/core/system_error.h"
#include "engine/read/disk_to_image.h"
#include "tests/engine/checksum/hash_task_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

class HashTaskCompressedTest : public HashTaskTest {
protected:
    void SetUp() override
    {
        HashTaskTest::SetUp();
        if (!m_zlib.IsLoaded()) GTEST_SKIP() << "no zlib library here";
    }

    CZLIBIO m_zlib;  // keeps the library bound
};

// A .gmz made by a read, with the .md5sum file the job runner writes.
TEST_F(HashTaskCompressedTest, AReadsImageHasTheDrivesDigestAndItsMd5sumAgrees)
{
    CTempDir dir;
    const std::string strImage = dir.File("disk.gmz");
    const auto pDrive = CFakeDisk::WithPattern(3 * MIB + 333);
    m_devices.Add("fake:drive", pDrive);
    T_ENGINE_JOB job;
    job.options.bCompressImage = true;
    job.wiring.pDevices = &m_devices;
    job.arrDrives.push_back(T_ENGINE_DRIVE{"fake:drive", "", 0});
    job.strImage = strImage;
    const T_ENGINE_RESULT read = CDiskToImage().Run(job);
    ASSERT_TRUE(read.bOk);
    const std::string strDigest = Md5Text(read.arrSlots[0].digest);
    ASSERT_EQ(m_recorder.CountLines("DISK MD5SUM=" + strDigest + "\n"), 1u);
    uint32_t nError = 0;
    ASSERT_TRUE(WriteMd5SumFile(m_devices, strImage, read.arrSlots[0].digest, nError));

    m_recorder.Clear();
    Calculate(strImage, true);
    const std::vector<std::string> results = Results();
    ASSERT_GE(results.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(results.begin(), results.begin() + 2), (std::vector<std::string>{"0:0", "3:0"}));
    EXPECT_EQ(std::vector<std::string>(results.end() - 3, results.end()),
              (std::vector<std::string>{"3:" + std::to_string(pDrive->ReportedSize()), "1:" + strDigest, "2:0"}));
    EXPECT_TRUE(m_task.m_bHashValid);
    EXPECT_EQ(m_task.m_nImageSize, pDrive->ReportedSize());

    // A .md5sum file of the compressed file's own bytes is told apart.
    CMd5 fileMd5;
    const std::vector<uint8_t> file = ReadWholeFile(strImage);
    fileMd5.Update(file.data(), file.size());
    ASSERT_TRUE(WriteMd5SumFile(m_devices, strImage, fileMd5.Final(), nError));
    m_recorder.Clear();
    Calculate(strImage, true);
    EXPECT_EQ(Results().back(), "2:" + std::to_string(CHECKSUM_VERDICT_OF_FILE));

    // The read engine writes an empty file for a drive of 0 bytes.
    AddImage("empty.gmz", {});
    m_recorder.Clear();
    Calculate("empty.gmz", true);
    EXPECT_EQ(Results().back(), "1:" + Md5Of({}));
    EXPECT_TRUE(m_task.m_bHashValid);
}

// The window shows "エラー" and nothing reaches the operator's log: the
// reasons go to the developer trace.
TEST_F(HashTaskCompressedTest, ImagesThatCannotBeHashedFailWithoutLogLines)
{
    const std::vector<uint8_t> data = Prose(2 * MIB + 9, 1);
    std::vector<uint8_t> named = CompressToMemory(data);
    named[3] = 0x08;  // FLG.FNAME: the header carries a name
    std::vector<uint8_t> cut = CompressToMemory(data);
    cut.resize(cut.size() / 2);
    AddImage("raw.gmi", data);
    AddImage("named.gz", named);
    AddImage("cut.gmz", cut);
    AddImage("unreadable.gmi", data)->FailReads(0, MIB, SystemError::IoError());
    AddImage("pipe.gmi", data)->SetKind(EDeviceKind::PipeOrSocket);
    CTraceCapture trace;
    const std::pair<const char*, bool> cases[] = {{"raw.gmi", true},         {"named.gz", true},
                                                  {"cut.gmz", true},         {"unreadable.gmi", false},
                                                  {"pipe.gmi", false},       {"no-such.gmi", false}};
    for (const auto& [pImage, bCompressed] : cases) {
        m_recorder.Clear();
        Calculate(pImage, bCompressed);
        const std::vector<std::string> results = Results();  // a size comes once the file is open
        EXPECT_TRUE(results.size() <= 3 && results.front() == "0:0" && results.back() == "0:2") << pImage;
        EXPECT_EQ(m_recorder.ProgressValues(PROGRESS_CHECKSUM).back(), 0);
        EXPECT_TRUE(m_recorder.LogLines().empty()) << m_recorder.LogText();
        EXPECT_TRUE(m_task.m_bHashRequest && !m_task.m_bHashValid) << pImage;
    }
    uint32_t nError = 0;
    GetPlatformDevices().Open("no-such.gmi", EOpenMode::ReadImage, nError);
    const std::vector<std::string> lines = trace.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        FormatText("taskCalcHash() - CreateFile() failed. (ERR:%08X)\n", nError)),
              lines.end());
}

}  // namespace
