// The read engine compressing on several threads: the image is one gzip
// member of the drive's bytes whatever the number of threads, the library's
// lack of an extra entry point falls back to today's sequential stream, and
// a stop in the middle ends every compression thread.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/core/format.h"
#include "engine/core/system_error.h"
#include "engine/zlib/zlib_binding.h"
#include "tests/engine/zlib/parallel_test_support.h"
#include "tests/engine/read/disk_to_image_fixture.h"

namespace {

using namespace std::chrono_literals;
using read_test::MIB;  // not the compressed stream tests' own

bool Traced(const std::vector<std::string>& lines, const std::string& strLine)
{
    return std::find(lines.begin(), lines.end(), strLine) != lines.end();
}

class DiskToImageParallelTest : public DiskToImageTest {
protected:
    void SetUp() override
    {
        DiskToImageTest::SetUp();
        g_bOptCompressImage = true;
        if (!m_engine.m_zlib.IsLoaded()) GTEST_SKIP() << "no zlib library here";
    }
};

TEST(CompressThreads, OnePerCoreLeavingOneWhereThereAreMoreThanTwo)
{
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 1}, {1, 1}, {2, 2}, {3, 2}, {8, 7}, {200, 64}};
    for (const auto& [nCores, nThreads] : cases) EXPECT_EQ(DefaultCompressThreads(nCores), nThreads) << nCores;
    ResetJobOptions();
    EXPECT_GE(CompressThreads(), 1u);
    g_nOptCompressThreads = 5;
    EXPECT_EQ(CompressThreads(), 5u);
    ResetJobOptions();
}

TEST_F(DiskToImageParallelTest, ImagesWrittenOnOneTwoAndEightThreadsHoldTheDrivesBytes)
{
    const std::vector<uint8_t> drive = Prose(6 * MIB + 333, 7);
    for (uint32_t nThreads : {1u, 2u, 8u}) {
        for (const uint64_t nEnd : {uint64_t{drive.size()}, MIB + 5}) {
            SCOPED_TRACE(::testing::Message() << nThreads << " threads, medium ends at " << nEnd);
            std::filesystem::remove(Image());
            g_nOptCompressThreads = nThreads;
            auto pDisk = std::make_shared<CFakeDisk>(drive);
            pDisk->EndEarlyAt(nEnd);
            CTraceCapture trace;
            ASSERT_TRUE(RunRead(pDisk));
            const std::vector<uint8_t> data(drive.begin(), drive.begin() + static_cast<ptrdiff_t>(nEnd));
            EXPECT_EQ(m_strDigest, Md5Of(data));
            const std::vector<uint8_t> image = ReadWholeFile(Image());
            const T_MEMBER member = InflateFirstMember(image);
            EXPECT_EQ(member.nResult, Z_STREAM_END);
            EXPECT_EQ(member.nConsumed, image.size());
            EXPECT_TRUE(member.data == data);
            const std::string strParallel = FormatText("CParallelDeflate: %u threads\n", nThreads);
            EXPECT_EQ(Traced(trace.Lines(), strParallel), nThreads > 1);
            // One thread writes the sequential stream of old, byte for byte.
            if (nThreads == 1) {
                EXPECT_TRUE(image == CompressToMemory(data));
            }
        }
    }
}

// A stop ends the member behind the last block handed to it, on one thread
// as on several: the image holds exactly the bytes the count says.
TEST_F(DiskToImageParallelTest, AStopInTheMiddleReturnsPromptlyAndLeavesAWholeMemberOfWhatWasRead)
{
    for (uint32_t nThreads : {1u, 8u}) {
        SCOPED_TRACE(::testing::Message() << nThreads << " threads");
        std::filesystem::remove(Image());
        m_recorder.Clear();
        m_engine.m_nImageBytes = 0;  // what the last run left must not stop this one early
        g_nOptCompressThreads = nThreads;
        auto pDisk = CFakeDisk::WithPattern(64 * MIB);
        pDisk->SetReadDelayMs(5);
        std::atomic<int64_t> nStoppedAt{0};
        std::thread stopper([&] {
            while (m_engine.GetImageBytes() < 8 * MIB) std::this_thread::sleep_for(1ms);
            nStoppedAt = std::chrono::steady_clock::now().time_since_epoch().count();
            m_engine.Abort();
        });
        EXPECT_FALSE(RunRead(pDisk));
        const auto nReturnedAt = std::chrono::steady_clock::now().time_since_epoch().count();
        stopper.join();
        m_engine.m_bAbortRequested = false;
        EXPECT_LT(std::chrono::steady_clock::duration(nReturnedAt - nStoppedAt.load()), 2s);
        EXPECT_EQ(m_engine.m_parallelDeflate.WorkerCount(), 0u);
        EXPECT_EQ(m_recorder.LogText().find("compress write error"), std::string::npos);
        EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
        const std::vector<uint8_t> image = ReadWholeFile(Image());
        const T_MEMBER member = InflateFirstMember(image);
        EXPECT_EQ(member.nResult, Z_STREAM_END);
        EXPECT_EQ(member.nConsumed, image.size());
        EXPECT_EQ(member.data.size(), m_engine.GetImageBytes());
        EXPECT_TRUE(member.data.size() >= 8 * MIB && member.data.size() < 64 * MIB);
        EXPECT_TRUE(std::equal(member.data.begin(), member.data.end(), pDisk->Contents().begin()));
    }
}

// A full file system: the parallel member ends behind the last piece that
// fits, an image of nothing is removed, the sequential stream cannot end
// and says so; any other failure is told as it is.
TEST_F(DiskToImageParallelTest, AFullFileSystemLeavesAMemberOfWhatFitOrSaysTheImageIsNotUsable)
{
    const struct {
        uint32_t nThreads;
        uint64_t nCapacity;
        uint32_t nError;
    } cases[] = {{4, 5 * MIB / 2, SystemError::DiskFull()},
                 {4, 0, SystemError::DiskFull()},
                 {1, 100, SystemError::DiskFull()},
                 {4, 0, SystemError::IoError()}};
    const auto pDisk = CFakeDisk::WithPattern(4 * MIB);  // random data: the output comes as fast as the input
    m_devices.Add(DRIVE, pDisk);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.nThreads << " threads, room for " << c.nCapacity);
        m_recorder.Clear();
        g_nOptCompressThreads = c.nThreads;
        auto pImage = FakeImage();
        if (c.nError == SystemError::DiskFull()) pImage->FullAt(c.nCapacity, c.nError);
        else pImage->FailWrites(0, UINT64_MAX, c.nError);
        EXPECT_FALSE(m_engine.Run(DRIVE, FAKE_IMAGE, 16));
        const std::string strLog = m_recorder.LogText();
        const std::string strError = GetSystemErrorText(c.nError);
        const uint64_t nHeld = m_engine.GetImageBytes();
        EXPECT_EQ(strLog.find("compress write error") == std::string::npos, c.nError == SystemError::DiskFull());
        if (c.nError != SystemError::DiskFull()) continue;
        if (c.nThreads == 1) {
            EXPECT_EQ(m_recorder.CountLines("no room for the image " + FAKE_IMAGE + "; its compressed data could not "
                                            "be ended, so it is not a usable image.\n" + strError + "\n"), 1u);
            EXPECT_TRUE(m_engine.ImageUnfinished() && !pImage->Removed());
            continue;
        }
        EXPECT_EQ(m_recorder.CountLines(FormatText("no room for the image %s; it holds %I64u bytes.\n%s\n",
                                                   FAKE_IMAGE, nHeld, strError)), 1u) << strLog;
        EXPECT_EQ(pImage->Removed(), nHeld == 0);
        if (c.nCapacity == 0) continue;
        const T_MEMBER member = InflateFirstMember(pImage->Contents());
        EXPECT_EQ(member.nResult, Z_STREAM_END);
        EXPECT_EQ(member.nConsumed, pImage->Contents().size());
        EXPECT_TRUE(nHeld > MIB && member.data.size() == nHeld);
        EXPECT_TRUE(std::equal(member.data.begin(), member.data.end(), pDisk->Contents().begin()));
    }
}

// Set before the fixture's engine links the library, so that its load
// finds the library without two of the extras.
struct T_WITHOUT_EXTRAS {
    T_WITHOUT_EXTRAS() { ZlibBinding::SetMissingEntryPoints({"deflateSetDictionary", "crc32_combine"}); }
    ~T_WITHOUT_EXTRAS() { ZlibBinding::SetMissingEntryPoints({}); }
};

class DiskToImageWithoutExtrasTest : private T_WITHOUT_EXTRAS, public DiskToImageParallelTest {};

// A library that has the nine entry points but not the extras still
// compresses: the writer says so in the trace and writes today's stream.
TEST_F(DiskToImageWithoutExtrasTest, TheImageIsTheSequentialStreamByteForByte)
{
    g_nOptCompressThreads = 8;
    const std::vector<uint8_t> drive = Prose(3 * MIB + 17, 8);
    CTraceCapture trace;
    ASSERT_TRUE(RunRead(std::make_shared<CFakeDisk>(drive)));
    EXPECT_TRUE(Traced(trace.Lines(), "CParallelDeflate: the zlib library lacks deflateSetDictionary, crc32_combine; "
                                      "one sequential stream\n"));
    EXPECT_TRUE(ReadWholeFile(Image()) == CompressToMemory(drive));
}

}  // namespace
