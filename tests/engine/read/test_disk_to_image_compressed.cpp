// The read engine writing compressed images: one gzip member of the
// drive's bytes whatever the number of compression threads, an empty file
// for a drive of 0 bytes, a whole member of what was read after a stop, a
// full file system, and a library without the parallel stream's extras.
#include <chrono>
#include <thread>

#include "engine/core/format.h"
#include "engine/zlib/zlib_binding.h"
#include "tests/engine/read/read_rig.h"
#include "tests/engine/zlib/zlib_test_support.h"

namespace engine_test {
namespace {

using namespace std::chrono_literals;

bool Traced(const std::vector<std::string>& lines, const std::string& strLine)
{
    return std::find(lines.begin(), lines.end(), strLine) != lines.end();
}

// The image is one whole gzip member, nothing after it, of exactly data.
void ExpectOneMemberOf(const std::vector<uint8_t>& image, const std::vector<uint8_t>& data)
{
    const T_MEMBER member = InflateFirstMember(image);
    EXPECT_EQ(member.nResult, Z_STREAM_END);
    EXPECT_EQ(member.nConsumed, image.size());
    EXPECT_TRUE(member.data == data);
}

class CompressedReadTest : public ReadTest {
protected:
    void SetUp() override
    {
        m_options.bCompressImage = true;
        if (!CZLIBIO().IsLoaded()) GTEST_SKIP() << "no zlib library here";
    }
};

TEST_F(CompressedReadTest, OneMemberOfTheDrivesBytesOnOneTwoOrEightThreads)
{
    const std::vector<uint8_t> drive = Prose(6 * MIB + 333, 7);
    for (uint32_t nThreads : {1u, 2u, 8u}) {
        for (const uint64_t nEnd : {uint64_t{drive.size()}, MIB + 5}) {
            SCOPED_TRACE(::testing::Message() << nThreads << " threads, medium ends at " << nEnd);
            NextCase();
            m_options.nCompressThreads = nThreads;
            AddDriveWith(0, drive)->EndEarlyAt(nEnd);
            CTraceCapture trace;
            const T_ENGINE_RESULT result = Read();
            ASSERT_TRUE(result.bOk);
            const auto data = Head(drive, nEnd);
            EXPECT_EQ(DigestText(result.arrSlots[0].digest), Md5Of(data));
            EXPECT_EQ(result.arrSlots[0].nBytes, nEnd);
            EXPECT_EQ(Count(Drive(0) + " - " + std::to_string(nEnd) + " bytes dumped.\n"), 1u);
            const std::vector<uint8_t> image = ImageData();
            ASSERT_GE(image.size(), 4u);
            EXPECT_EQ(Head(image, 4), (std::vector<uint8_t>{0x1F, 0x8B, 0x08, 0x00}));
            ExpectOneMemberOf(image, data);
            EXPECT_EQ(Traced(trace.Lines(), FormatText("CParallelDeflate: %u threads\n", nThreads)), nThreads > 1);
            // One thread writes the sequential stream, byte for byte.
            EXPECT_TRUE(nThreads > 1 || image == CompressToMemory(data));
        }
    }
    NextCase();
    AddDriveWith(0, {});
    ASSERT_TRUE(Read().bOk);
    EXPECT_TRUE(ImageExists() && ImageData().empty());
}

// A stop ends the member behind the last block handed to it, on one thread
// as on several: the image holds exactly the bytes the count says.
TEST_F(CompressedReadTest, AStopLeavesAWholeMemberOfWhatWasRead)
{
    for (uint32_t nThreads : {1u, 8u}) {
        SCOPED_TRACE(::testing::Message() << nThreads << " threads");
        NextCase();
        m_options.nCompressThreads = nThreads;
        auto pDisk = AddDrive(0, 64 * MIB);
        pDisk->SetReadDelayMs(5);
        // Past the pool's 16 blocks the reader reads only what the writer
        // has handed on: at least 4 MiB. Ending the member then takes the
        // compression of what is pending, on a busy machine a while.
        CDiskToImage engine;
        T_ENGINE_RESULT result;
        StopWhen(engine, [&] { return pDisk->TotalReads() >= 20; }, [&] {
            result = engine.Run(ReadJob());
            return result.bOk;
        }, 3s);
        EXPECT_FALSE(Logged("compress write error"));
        ExpectAllClosed();
        const uint64_t nHeld = result.arrSlots[0].nBytes;
        EXPECT_TRUE(nHeld >= 4 * MIB && nHeld < 64 * MIB) << nHeld;
        ExpectOneMemberOf(ImageData(), Head(pDisk->Contents(), nHeld));
    }
}

// A full file system: the sequential stream cannot end its member and says
// so; any other failure is told as it is. (The parallel member that ends
// behind what fit, or is removed when nothing did: the end-to-end read
// refusals on a full tmpfs.)
TEST_F(CompressedReadTest, AFullFileSystemSaysTheSequentialImageIsNotUsable)
{
    for (const uint32_t nError : {SystemError::DiskFull(), SystemError::IoError()}) {
        SCOPED_TRACE(nError);
        NextCase();
        m_options.nCompressThreads = nError == SystemError::DiskFull() ? 1 : 4;
        AddDrive(0, 4 * MIB);
        auto pImage = FakeImage();
        if (nError == SystemError::DiskFull()) pImage->FullAt(100, nError);
        else pImage->FailWrites(0, UINT64_MAX, nError);
        const T_ENGINE_RESULT result = Read();
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(result.dwError, nError);
        EXPECT_EQ(Logged("compress write error"), nError != SystemError::DiskFull());
        if (nError != SystemError::DiskFull()) continue;
        EXPECT_TRUE(result.bImageUnfinished);
        EXPECT_EQ(Count("no room for the image " + IMAGE + "; its compressed data could not be ended, so it is not a "
                        "usable image.\n" + GetSystemErrorText(nError) + "\n"),
                  1u);
        EXPECT_EQ(result.arrSlots[0].nBytes, 0u);
        EXPECT_FALSE(pImage->Removed());
    }
}

// Set before the fixture's engine links the library, so that its load
// finds the library without two of the extras.
struct T_WITHOUT_EXTRAS {
    T_WITHOUT_EXTRAS() { ZlibBinding::SetMissingEntryPoints({"deflateSetDictionary", "crc32_combine"}); }
    ~T_WITHOUT_EXTRAS() { ZlibBinding::SetMissingEntryPoints({}); }
};

class WithoutExtrasTest : private T_WITHOUT_EXTRAS, public CompressedReadTest {};

// A library that has the nine entry points but not the extras still
// compresses: the writer says so in the trace and writes the sequential
// stream.
TEST_F(WithoutExtrasTest, TheImageIsTheSequentialStreamByteForByte)
{
    m_options.nCompressThreads = 8;
    const std::vector<uint8_t> drive = Prose(3 * MIB + 17, 8);
    AddDriveWith(0, drive);
    CTraceCapture trace;
    ASSERT_TRUE(Read().bOk);
    EXPECT_TRUE(Traced(trace.Lines(), "CParallelDeflate: the zlib library lacks deflateSetDictionary, crc32_combine; "
                                      "one sequential stream\n"));
    EXPECT_TRUE(ImageData() == CompressToMemory(drive));
}

}  // namespace
}  // namespace engine_test
