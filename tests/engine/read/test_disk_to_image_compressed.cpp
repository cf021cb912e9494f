// The read engine writing compressed images: one gzip member or one zstd
// frame of the drive's bytes whatever the number of compression threads,
// an empty file (gzip) or frame (zstd) for a drive of 0 bytes, a whole
// member or frame of what was read after a stop or a drive that failed, a
// full file system, and a library without the parallel stream's extras.
#include <chrono>
#include <thread>

#include "engine/codecs/codec_libraries.h"
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

// The image is one whole zstd frame with its content checksum (bChecksum),
// nothing after it, of exactly data: decoded by libzstd here.
void ExpectOneFrameOf(const std::vector<uint8_t>& image, const std::vector<uint8_t>& data, bool bChecksum = true)
{
    const T_ZSTD_ENTRY_POINTS& zstd = *ZstdEntryPoints();
    ASSERT_GE(image.size(), 5u);
    EXPECT_EQ(Head(image, 4), (std::vector<uint8_t>{0x28, 0xB5, 0x2F, 0xFD}));
    EXPECT_EQ((image[4] & 0x04) != 0, bChecksum);
    std::vector<uint8_t> out(data.size() + 1);
    T_ZSTD_IN_BUFFER in{image.data(), image.size(), 0};
    T_ZSTD_OUT_BUFFER decoded{out.data(), out.size(), 0};
    T_ZSTD_DCTX* pContext = zstd.ZSTD_createDCtx();
    size_t nLeft = 1;
    for (size_t nInBefore = SIZE_MAX, nOutBefore = SIZE_MAX; nLeft != 0 && !zstd.ZSTD_isError(nLeft) &&
                                                             (in.pos != nInBefore || decoded.pos != nOutBefore);) {
        nInBefore = in.pos;
        nOutBefore = decoded.pos;
        nLeft = zstd.ZSTD_decompressStream(pContext, &decoded, &in);
    }
    zstd.ZSTD_freeDCtx(pContext);
    EXPECT_EQ(nLeft, 0u) << "the frame does not end: " << (zstd.ZSTD_isError(nLeft) ? zstd.ZSTD_getErrorName(nLeft) : "");
    EXPECT_EQ(in.pos, image.size()) << "bytes follow the frame";
    out.resize(decoded.pos);
    EXPECT_TRUE(out == data) << decoded.pos << " bytes decoded, " << data.size() << " expected";
}

bool ZstdWrites()
{
    return FormatUnwritableReason(EImageFormat::Zstd).empty();
}

// The image holds exactly data in eFormat.
void ExpectImageOf(EImageFormat eFormat, const std::vector<uint8_t>& image, const std::vector<uint8_t>& data)
{
    if (eFormat == EImageFormat::Zstd) return ExpectOneFrameOf(image, data);
    if (eFormat == EImageFormat::Gzip) return ExpectOneMemberOf(image, data);
    EXPECT_TRUE(image == data);
}

class CompressedReadTest : public ReadTest {
protected:
    void SetUp() override
    {
        m_options.bCompressImage = true;
        if (!CZLIBIO().IsLoaded()) GTEST_SKIP() << "no zlib library here";
    }
    // The next case writes eFormat (gzip or zstd); false: zstd cannot be
    // written here, and the case is left out.
    bool Format(EImageFormat eFormat)
    {
        m_options.bCompressImage = eFormat == EImageFormat::Gzip;
        m_options.eImageFormat = eFormat;
        return eFormat == EImageFormat::Gzip || ZstdWrites();
    }
};

constexpr EImageFormat GZIP = EImageFormat::Gzip;
constexpr EImageFormat ZSTD = EImageFormat::Zstd;

TEST_F(CompressedReadTest, OneMemberOrFrameOfTheDrivesBytesOnOneTwoOrEightThreads)
{
    const std::vector<uint8_t> drive = Prose(6 * MIB + 333, 7);
    for (const EImageFormat eFormat : {GZIP, ZSTD}) {
        for (uint32_t nThreads : {1u, 2u, 8u}) {
            for (const uint64_t nEnd : {uint64_t{drive.size()}, MIB + 5}) {
                SCOPED_TRACE(::testing::Message() << ImageFormatName(eFormat) << ", " << nThreads
                                                  << " threads, medium ends at " << nEnd);
                NextCase();
                if (!Format(eFormat)) continue;
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
                ExpectImageOf(eFormat, image, data);
                if (eFormat == ZSTD) {
                    EXPECT_TRUE(Traced(trace.Lines(), FormatText("CZstdImageWriter: level 3, %u workers\n", nThreads)));
                    continue;
                }
                EXPECT_EQ(Head(image, 4), (std::vector<uint8_t>{0x1F, 0x8B, 0x08, 0x00}));
                EXPECT_EQ(Traced(trace.Lines(), FormatText("CParallelDeflate: %u threads\n", nThreads)), nThreads > 1);
                // One thread writes the sequential stream, byte for byte.
                EXPECT_TRUE(nThreads > 1 || image == CompressToMemory(data));
            }
        }
        // A drive of 0 bytes: an empty .gmz, an empty frame.
        NextCase();
        if (!Format(eFormat)) continue;
        AddDriveWith(0, {});
        ASSERT_TRUE(Read().bOk);
        ASSERT_TRUE(ImageExists());
        if (eFormat == GZIP) EXPECT_TRUE(ImageData().empty());
        else ExpectOneFrameOf(ImageData(), {});
    }
}

// The level reaches libzstd: level 19 makes a smaller frame than level 1.
TEST_F(CompressedReadTest, TheZstdLevelReachesTheLibrary)
{
    if (!Format(ZSTD)) GTEST_SKIP() << "no libzstd that compresses here";
    const std::vector<uint8_t> drive = Prose(MIB + 77, 3);
    size_t nSizes[2] = {};
    for (const int nLevel : {1, 19}) {
        NextCase();
        m_options.nCompressLevel = nLevel;
        m_options.nCompressThreads = 2;
        AddDriveWith(0, drive);
        CTraceCapture trace;
        ASSERT_TRUE(Read().bOk);
        EXPECT_TRUE(Traced(trace.Lines(), FormatText("CZstdImageWriter: level %d, 2 workers\n", nLevel)));
        ExpectOneFrameOf(ImageData(), drive);
        nSizes[nLevel == 19] = ImageData().size();
    }
    EXPECT_LT(nSizes[1] * 10, nSizes[0] * 9) << nSizes[0] << " bytes at level 1, " << nSizes[1] << " at 19";
}

// A stop ends the member or frame behind the last block handed to it, on
// one thread as on several: the image holds exactly the bytes the count
// says. A drive that fails ends it behind every block read before the
// one given up, however far the writer was behind the reader.
TEST_F(CompressedReadTest, AStopOrAFailedDriveLeavesAWholeMemberOrFrameOfWhatWasRead)
{
    const struct {
        EImageFormat eFormat;
        uint32_t nThreads;
        bool bDriveFails;  // at 5 MiB, instead of a stop
    } cases[] = {{GZIP, 1, false}, {GZIP, 8, false}, {ZSTD, 2, false},
                 {GZIP, 4, true},  {ZSTD, 2, true},  {EImageFormat::Raw, 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << ImageFormatName(c.eFormat) << ", " << c.nThreads << " threads"
                                          << (c.bDriveFails ? ", the drive fails" : ""));
        NextCase();
        if (!Format(c.eFormat)) continue;
        m_options.nCompressThreads = c.nThreads;
        auto pDisk = AddDrive(0, 64 * MIB);
        CDiskToImage engine;
        T_ENGINE_RESULT result;
        if (c.bDriveFails) {
            pDisk->FailReads(5 * MIB, 5 * MIB + 1, SystemError::IoError());
            result = engine.Run(ReadJob());
            EXPECT_EQ(result.arrSlots[0].eVerdict, ESlotVerdict::ReadFailed);
            EXPECT_EQ(result.arrSlots[0].nBytes, 5 * MIB);
        } else {
            pDisk->SetReadDelayMs(5);
            // Past the pool's 16 blocks the reader reads only what the
            // writer has handed on: at least 4 MiB. Ending the stream then
            // takes the compression of what is pending, on a busy machine a
            // while.
            StopWhen(engine, [&] { return pDisk->TotalReads() >= 20; }, [&] {
                result = engine.Run(ReadJob());
                return result.bOk;
            }, 3s);
        }
        EXPECT_FALSE(Logged("compress write error"));
        ExpectAllClosed();
        const uint64_t nHeld = result.arrSlots[0].nBytes;
        EXPECT_TRUE(nHeld >= 4 * MIB && nHeld < 64 * MIB) << nHeld;
        ExpectImageOf(c.eFormat, ImageData(), Head(pDisk->Contents(), nHeld));
    }
}

// A full file system: the sequential gzip stream cannot end its member and
// says so; a zstd frame ends behind its last block in the file, without
// its checksum; any other failure is told as it is. (The parallel member
// that ends behind what fit, or is removed when nothing did: the
// end-to-end read refusals on a full tmpfs.)
TEST_F(CompressedReadTest, AFullFileSystemEndsAZstdFrameAndSaysTheSequentialGzipIsNotUsable)
{
    const struct {
        EImageFormat eFormat;
        uint32_t nThreads;
        uint32_t nError;
    } cases[] = {{GZIP, 1, SystemError::DiskFull()}, {GZIP, 4, SystemError::IoError()},
                 {ZSTD, 2, SystemError::DiskFull()}, {ZSTD, 2, SystemError::IoError()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << ImageFormatName(c.eFormat) << ", error " << c.nError);
        NextCase();
        if (!Format(c.eFormat)) continue;
        m_options.nCompressThreads = c.nThreads;
        // Data that do not compress, so that the frame fills the room.
        AddDriveWith(0, c.eFormat == ZSTD ? RandomBytes(4 * MIB, 5) : Pattern(4 * MIB, 100));
        auto pImage = FakeImage();
        const bool bFull = c.nError == SystemError::DiskFull();
        if (bFull) pImage->FullAt(c.eFormat == ZSTD ? 2 * MIB + 1000 : 100, c.nError);
        else pImage->FailWrites(0, UINT64_MAX, c.nError);
        const T_ENGINE_RESULT result = Read();
        EXPECT_FALSE(result.bOk);
        EXPECT_EQ(result.dwError, c.nError);
        EXPECT_EQ(Logged("compress write error"), !bFull);
        if (!bFull) continue;
        const uint64_t nHeld = result.arrSlots[0].nBytes;
        const std::string strSystem = GetSystemErrorText(c.nError) + "\n";
        EXPECT_FALSE(pImage->Removed());
        if (c.eFormat == GZIP) {
            EXPECT_TRUE(result.bImageUnfinished);
            EXPECT_EQ(Count("no room for the image " + IMAGE + "; its compressed data could not be ended, so it is "
                            "not a usable image.\n" + strSystem),
                      1u);
            EXPECT_EQ(nHeld, 0u);
            continue;
        }
        EXPECT_FALSE(result.bImageUnfinished);
        EXPECT_EQ(Count(FormatText("no room for the image %s; it holds %I64u bytes.\n", IMAGE, nHeld) + strSystem), 1u);
        EXPECT_TRUE(nHeld > MIB && nHeld < 2 * MIB + 1000) << nHeld;
        ExpectOneFrameOf(pImage->Contents(), Head(m_drives[0]->Contents(), nHeld), false);
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
