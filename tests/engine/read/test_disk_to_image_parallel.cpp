// The read engine compressing on several threads: the image is one gzip
// member of the drive's bytes whatever the number of threads, the library's
// lack of an extra entry point falls back to today's sequential stream, and
// a stop in the middle ends every compression thread.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "engine/core/format.h"
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

TEST_F(DiskToImageParallelTest, AStopInTheMiddleOfAParallelWriteReturnsPromptlyAndLeavesNoThread)
{
    g_nOptCompressThreads = 8;
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
    EXPECT_LT(std::chrono::steady_clock::duration(nReturnedAt - nStoppedAt.load()), 2s);
    EXPECT_EQ(m_engine.m_parallelDeflate.WorkerCount(), 0u);
    EXPECT_LT(m_engine.GetImageBytes(), 64 * MIB);
    EXPECT_EQ(m_recorder.LogText().find("compress write error"), std::string::npos);
    EXPECT_EQ(pDisk->OpenCount(), pDisk->CloseCount());
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
