// xz, zstd, bzip2 and zip images read through the shared image-file reader:
// a whole file decodes byte for byte, and every kind of damage fails the
// read with its reason, never as a shorter good image. The images are made
// here with the linked libraries.
#include <bzlib.h>
#include <gtest/gtest.h>
#include <lzma.h>
#include <zstd.h>

#include <chrono>
#include <functional>
#include <random>

#include "engine/codecs/codec_libraries.h"
#include "engine/codecs/xz_decoder.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"
#include "engine/zlib/image_file_reader.h"
#include "tests/engine/codecs/zip_test_archive.h"
#include "tests/engine/test_helpers.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr uint32_t BLOCK = 0x100000;
using TBytes = std::vector<uint8_t>;

// 1.5 MiB and a bit: random bytes that do not compress (so the file spans
// more than one 1 MiB piece of input), then a pattern that does.
TBytes ImageData()
{
    TBytes data = Pattern(BLOCK * 3 / 2 + 77, 5);
    std::mt19937 random(7);
    for (size_t i = 0; i < BLOCK + BLOCK / 8; ++i) data[i] = static_cast<uint8_t>(random());
    return data;
}

TBytes Xz(const TBytes& data, uint64_t nBlockSize)
{
    lzma_mt mt{};
    mt.threads = 2;
    mt.block_size = nBlockSize;  // 0: one block for data this short
    mt.preset = 1;
    mt.check = LZMA_CHECK_CRC64;
    lzma_stream s = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_stream_encoder_mt(&s, &mt), LZMA_OK);
    TBytes out(data.size() + data.size() / 2 + 4096);
    s.next_in = data.data();
    s.avail_in = data.size();
    s.next_out = out.data();
    s.avail_out = out.size();
    EXPECT_EQ(lzma_code(&s, LZMA_FINISH), LZMA_STREAM_END);
    out.resize(out.size() - s.avail_out);
    lzma_end(&s);
    return out;
}

// An xz stream made block by block, as xz -T writes them (both sizes in
// every block header) or as single-threaded xz does (none): one block per
// entry of blockSizes, over and again until the data end; bSized[i % size]
// tells which. nDict: the LZMA2
// dictionary. bIndexLies: the index records one byte more for the last block.
struct T_XZ_FILE {
    TBytes bytes;
    std::vector<size_t> blockStarts;  // where each block's header is in the file
    std::vector<size_t> blockEnds;    // where each block's data end in the image
};

struct T_XZ_SHAPE {
    std::vector<size_t> blockSizes;
    std::vector<bool> bSized = {true};
    uint32_t nDict = 1 << 20;
    bool bIndexLies = false;
};

void XzBlock(lzma_block& block, const uint8_t* p, size_t n, bool bSized, TBytes& out)
{
    const size_t nAt = out.size();
    out.resize(nAt + LZMA_BLOCK_HEADER_SIZE_MAX + lzma_block_buffer_bound(n));
    if (bSized) {
        size_t nOut = nAt;
        EXPECT_EQ(lzma_block_buffer_encode(&block, nullptr, p, n, out.data(), &nOut, out.size()), LZMA_OK);
        out.resize(nOut);
        return;
    }
    block.compressed_size = block.uncompressed_size = LZMA_VLI_UNKNOWN;
    EXPECT_EQ(lzma_block_header_size(&block), LZMA_OK);
    EXPECT_EQ(lzma_block_header_encode(&block, out.data() + nAt), LZMA_OK);
    lzma_stream s = LZMA_STREAM_INIT;
    EXPECT_EQ(lzma_block_encoder(&s, &block), LZMA_OK);
    s.next_in = p;
    s.avail_in = n;
    s.next_out = out.data() + nAt + block.header_size;
    s.avail_out = out.size() - nAt - block.header_size;
    EXPECT_EQ(lzma_code(&s, LZMA_FINISH), LZMA_STREAM_END);
    out.resize(out.size() - s.avail_out);
    lzma_end(&s);
}

T_XZ_FILE XzStream(const TBytes& data, const T_XZ_SHAPE& shape)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 1);
    options.dict_size = shape.nDict;
    lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream_flags flags{};
    flags.check = LZMA_CHECK_CRC64;
    T_XZ_FILE file;
    file.bytes.resize(LZMA_STREAM_HEADER_SIZE);
    EXPECT_EQ(lzma_stream_header_encode(&flags, file.bytes.data()), LZMA_OK);
    lzma_index* pIndex = lzma_index_init(nullptr);
    size_t nPos = 0;
    for (size_t i = 0; nPos < data.size(); ++i) {
        const size_t n = std::min(shape.blockSizes[i % shape.blockSizes.size()], data.size() - nPos);
        lzma_block block{};
        block.version = 1;
        block.check = flags.check;
        block.filters = filters;
        file.blockStarts.push_back(file.bytes.size());
        XzBlock(block, data.data() + nPos, n, shape.bSized[i % shape.bSized.size()], file.bytes);
        const bool bLast = nPos + n == data.size();
        EXPECT_EQ(lzma_index_append(pIndex, nullptr, lzma_block_unpadded_size(&block),
                                    block.uncompressed_size + (shape.bIndexLies && bLast ? 1 : 0)),
                  LZMA_OK);
        nPos += n;
        file.blockEnds.push_back(nPos);
    }
    flags.backward_size = lzma_index_size(pIndex);
    size_t nOut = file.bytes.size();
    file.bytes.resize(nOut + flags.backward_size + LZMA_STREAM_HEADER_SIZE);
    EXPECT_EQ(lzma_index_buffer_encode(pIndex, file.bytes.data(), &nOut, file.bytes.size()), LZMA_OK);
    EXPECT_EQ(lzma_stream_footer_encode(&flags, file.bytes.data() + nOut), LZMA_OK);
    lzma_index_end(pIndex, nullptr);
    return file;
}

// Two streams, with stream padding between them, as cat a.xz b.xz with
// padding makes.
TBytes XzTwoStreams(const TBytes& data)
{
    const size_t nHalf = data.size() / 3;
    TBytes out = XzStream(TBytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(nHalf)),
                          {{128 * 1024, 100 * 1024, 1 << 30}})
                     .bytes;
    out.insert(out.end(), 8, 0);
    const TBytes second =
        XzStream(TBytes(data.begin() + static_cast<std::ptrdiff_t>(nHalf), data.end()), {{300 * 1024, 1 << 30}})
            .bytes;
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

TBytes ZstdFrame(const uint8_t* p, size_t n)
{
    ZSTD_CCtx* pContext = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(pContext, ZSTD_c_checksumFlag, 1);
    TBytes out(ZSTD_compressBound(n));
    const size_t nOut = ZSTD_compress2(pContext, out.data(), out.size(), p, n);
    EXPECT_FALSE(ZSTD_isError(nOut));
    ZSTD_freeCCtx(pContext);
    out.resize(nOut);
    return out;
}

// nFrames frames one after another, with a skippable frame after the first.
TBytes Zstd(const TBytes& data, size_t nFrames)
{
    TBytes out;
    const size_t nPart = data.size() / nFrames + 1;
    for (size_t nPos = 0; nPos < data.size(); nPos += nPart) {
        const TBytes frame = ZstdFrame(data.data() + nPos, std::min(nPart, data.size() - nPos));
        out.insert(out.end(), frame.begin(), frame.end());
        if (nPos == 0 && nFrames > 1) out.insert(out.end(), {0x5E, 0x2A, 0x4D, 0x18, 3, 0, 0, 0, 'g', 'm', '!'});
    }
    return out;
}

TBytes Bzip2(const TBytes& data)
{
    TBytes out(data.size() + data.size() / 50 + 1024);
    auto nOut = static_cast<unsigned int>(out.size());
    EXPECT_EQ(BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &nOut,
                                       const_cast<char*>(reinterpret_cast<const char*>(data.data())),
                                       static_cast<unsigned int>(data.size()), 1, 0, 0),
              BZ_OK);
    out.resize(nOut);
    return out;
}

// Two bzip2 streams one after another, as concatenated files are.
TBytes Bzip2Twice(const TBytes& data)
{
    const size_t nHalf = data.size() / 2;
    TBytes out = Bzip2(TBytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(nHalf)));
    const TBytes second = Bzip2(TBytes(data.begin() + static_cast<std::ptrdiff_t>(nHalf), data.end()));
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

// The image in a zip archive: beside a README (deflated), or alone (stored).
TBytes Zip(const TBytes& data, bool bStored)
{
    const TBytes readme = {'R', 'e', 'a', 'd', ' ', 'm', 'e', '\n'};
    if (bStored) return MakeZip({{"disk.img", data}}, "zip:compression=store");
    return MakeZip({{"README.txt", readme}, {"images/", {}}, {"images/disk.img", data}});
}

// Where each file keeps a check value over the data (the first xz block's
// is in front of the index, whose size the stream footer gives; a zstd
// frame's last 4 bytes; the first bzip2 block's CRC right after its magic;
// the image's CRC-32 in the zip directory, whose last entry it is).
size_t CheckOffset(EImageFormat eFormat, const TBytes& file)
{
    switch (eFormat) {
    case EImageFormat::Zip: {
        const uint8_t entry[] = {'P', 'K', 1, 2};
        return static_cast<size_t>(std::find_end(file.begin(), file.end(), entry, entry + 4) - file.begin()) + 16;
    }
    case EImageFormat::Xz: {
        const size_t nFooter = file.size() - 12;
        const uint32_t nBackward = file[nFooter + 4] | file[nFooter + 5] << 8 | file[nFooter + 6] << 16 |
                                   static_cast<uint32_t>(file[nFooter + 7]) << 24;
        return nFooter - (nBackward + 1) * 4 - 8;
    }
    case EImageFormat::Zstd: return file.size() - 1;
    default: return 4 + 6;
    }
}

struct T_FIXTURE {
    const char* pszName;
    EImageFormat eFormat;
    std::function<TBytes(const TBytes&)> fnMake;
};

const T_FIXTURE FIXTURES[] = {
    {"xz, one block", EImageFormat::Xz, [](const TBytes& d) { return Xz(d, 0); }},
    {"xz, several blocks", EImageFormat::Xz, [](const TBytes& d) { return Xz(d, 256 * 1024); }},
    {"xz, two streams with padding between them", EImageFormat::Xz, XzTwoStreams},
    {"xz, blocks with their sizes and without", EImageFormat::Xz,
     [](const TBytes& d) { return XzStream(d, {{256 * 1024, 300 * 1024, 200 * 1024, 1 << 30}, {true, false}}).bytes; }},
    {"zstd, one frame", EImageFormat::Zstd, [](const TBytes& d) { return Zstd(d, 1); }},
    {"zstd, several frames", EImageFormat::Zstd, [](const TBytes& d) { return Zstd(d, 3); }},
    {"bzip2, one stream", EImageFormat::Bzip2, Bzip2},
    {"bzip2, two streams", EImageFormat::Bzip2, Bzip2Twice},
    {"zip, deflated, beside a README", EImageFormat::Zip, [](const TBytes& d) { return Zip(d, false); }},
    {"zip, stored", EImageFormat::Zip, [](const TBytes& d) { return Zip(d, true); }},
};

class ImageDecoderTest : public ::testing::Test {
protected:
    // Reads the whole image in 1 MiB blocks; false when the reader gave up.
    bool ReadAll(const TBytes& file, EImageFormat eFormat, TBytes& data)
    {
        WriteWholeFile(m_strPath, file);
        m_recorder.Clear();
        CImageFileReader reader;
        if (!reader.Open(GetPlatformDevices(), m_strPath, eFormat)) return false;
        TBytes block(BLOCK);
        for (;;) {
            uint32_t nGot = 0;
            if (!reader.ReadBlock(block.data(), BLOCK, nGot, m_bAbort)) {
                EXPECT_NE(reader.LastError(), 0u);
                return false;
            }
            data.insert(data.end(), block.begin(), block.begin() + nGot);
            if (nGot < BLOCK) break;
        }
        EXPECT_EQ(reader.FileBytes(), file.size()) << "the progress figure ends at the file's size";
        return true;
    }
    // The reason line that follows the reader's give-up line.
    std::string Reason()
    {
        const std::string strLog = m_recorder.LogText();
        const size_t nAt = strLog.find("file compress read error (");
        if (nAt == std::string::npos) return "(no give-up line) " + strLog;
        const size_t nReason = strLog.find('\n', nAt) + 1;
        return strLog.substr(nReason, strLog.find('\n', nReason) - nReason);
    }

    CTempDir m_dir;
    std::string m_strPath = m_dir.File("image");
    CRecorder m_recorder;
    CLogCapture m_capture{m_recorder};
    std::atomic<bool> m_bAbort{false};
};

TEST_F(ImageDecoderTest, AWholeImageDecodesByteForByteAndItsTailIsCheckedToTheEnd)
{
    const TBytes data = ImageData();
    for (const T_FIXTURE& fixture : FIXTURES) {
        SCOPED_TRACE(fixture.pszName);
        const TBytes file = fixture.fnMake(data);
        TBytes got;
        ASSERT_TRUE(ReadAll(file, fixture.eFormat, got)) << m_recorder.LogText();
        EXPECT_TRUE(got == data) << "got " << got.size() << " bytes of " << data.size();
        CImageFileReader reader;
        ASSERT_TRUE(reader.Open(GetPlatformDevices(), m_strPath, fixture.eFormat));
        TBytes block(BLOCK);
        uint32_t nGot = 0;
        ASSERT_TRUE(reader.ReadBlock(block.data(), BLOCK, nGot, m_bAbort));
        T_IMAGE_TAIL tail;
        ASSERT_TRUE(reader.ReadTail(BLOCK + 10, tail, m_bAbort)) << m_recorder.LogText();
        EXPECT_EQ(tail.nBytes, data.size() - BLOCK - 10);
        EXPECT_FALSE(tail.bAllZero);
    }
}

// Each damage is made to every image, and must fail the read with its
// reason: a cut file, a byte flipped in the middle, bytes that are not
// another stream behind the last one, a check value that does not match.
// A zip archive is found from its end, where its directory is: a cut one
// has none, while bytes behind the directory, or a directory's end record
// without the last byte of its comment's length, leave the archive whole
// (a reason of "": the image reads as it is).
TEST_F(ImageDecoderTest, EveryDamageFailsTheReadWithItsReason)
{
    struct T_DAMAGE {
        const char* pszName;
        std::function<void(TBytes&, EImageFormat)> fnDamage;
        std::function<std::string(EImageFormat)> fnReason;
    };
    const auto name = [](EImageFormat e) { return std::string(ImageFormatName(e)); };
    const auto cut = [&](EImageFormat e) {
        return e == EImageFormat::Zip
                   ? "the zip data are damaged: its directory, at the end of the file, cannot be read"
                   : "the " + name(e) + " data end too soon (the file is cut short).";
    };
    const T_DAMAGE damages[] = {
        {"cut short", [](TBytes& f, EImageFormat) { f.resize(f.size() * 3 / 5); }, cut},
        {"cut before its last byte", [](TBytes& f, EImageFormat) { f.pop_back(); },
         [&](EImageFormat e) { return e == EImageFormat::Zip ? "" : cut(e); }},
        {"a byte flipped in the middle", [](TBytes& f, EImageFormat) { f[f.size() / 2] ^= 0x40; },
         [&](EImageFormat e) { return "the " + name(e) + " data are damaged"; }},
        {"garbage behind it", [](TBytes& f, EImageFormat) { f.insert(f.end(), 24, 'g'); },
         [&](EImageFormat e) -> std::string {
             if (e == EImageFormat::Zip) return "";
             return "the file goes on after its " + name(e) + " data with bytes that are not another " + name(e) +
                    " stream.";
         }},
        {"a wrong check value", [](TBytes& f, EImageFormat e) { f[CheckOffset(e, f)] ^= 0x01; },
         [&](EImageFormat e) { return "the " + name(e) + " data are damaged"; }},
    };
    const TBytes data = ImageData();
    for (const T_FIXTURE& fixture : FIXTURES) {
        const TBytes good = fixture.fnMake(data);
        for (const T_DAMAGE& damage : damages) {
            SCOPED_TRACE(std::string(fixture.pszName) + ", " + damage.pszName);
            TBytes file = good;
            damage.fnDamage(file, fixture.eFormat);
            TBytes got;
            const std::string strReason = damage.fnReason(fixture.eFormat);
            if (strReason.empty()) {
                EXPECT_TRUE(ReadAll(file, fixture.eFormat, got) && got == data) << m_recorder.LogText();
                continue;
            }
            EXPECT_FALSE(ReadAll(file, fixture.eFormat, got)) << "a damaged image passed as " << got.size()
                                                              << " good bytes";
            EXPECT_EQ(Reason().rfind(strReason, 0), 0u) << Reason();
            const std::vector<T_LOG_LINE> lines = m_recorder.LogLines();
            const auto isGiveUp = [](const T_LOG_LINE& l) {
                return l.strText.starts_with("file compress read error (");
            };
            EXPECT_EQ(std::count_if(lines.begin(), lines.end(), isGiveUp), 1) << "one give-up line";
        }
    }
}

// A zip member libarchive cannot read here fails the read with its reason.
TEST_F(ImageDecoderTest, AZipMemberThatCannotBeReadHereFailsWithLibarchivesReason)
{
    const TBytes data = Pattern(5000, 3);
    TBytes method = Zip(data, true);  // the stored member's method, in both headers, made 1 (shrunk)
    for (const uint8_t sig : {3, 1}) {
        const uint8_t header[] = {'P', 'K', sig, static_cast<uint8_t>(sig + 1)};
        const size_t nAt = static_cast<size_t>(std::search(method.begin(), method.end(), header, header + 4) -
                                               method.begin());
        method[nAt + (sig == 3 ? 8 : 10)] = 1;
    }
    const struct {
        TBytes file;
        const char* pszReason;
    } cases[] = {
        {MakeZip({{"disk.img", data}}, "zip:encryption=zipcrypt", "secret"),
         "the zip data cannot be read here: Passphrase required for this entry."},
        {method, "the zip data cannot be read here: Unsupported ZIP compression method (1: shrinking)."},
    };
    for (const auto& c : cases) {
        TBytes got;
        EXPECT_FALSE(ReadAll(c.file, EImageFormat::Zip, got));
        EXPECT_EQ(Reason(), c.pszReason);
        EXPECT_TRUE(got.empty());
    }
}

// A read of a zip archive that fails, in its directory or in the image
// file's data, fails the read with the system's error.
TEST_F(ImageDecoderTest, AZipArchiveWhoseReadFailsGivesTheSystemsError)
{
    const TBytes file = Zip(Pattern(3 * BLOCK, 2), true);
    for (const uint64_t nAt : {uint64_t{BLOCK}, uint64_t{file.size() - 10}}) {
        const auto pDisk = std::make_shared<CFakeDisk>(file);
        pDisk->SetKind(EDeviceKind::RegularFile);
        pDisk->FailReads(nAt, nAt + 1, SystemError::IoError());
        CFakeDeviceProvider devices;
        devices.Add("fake:disk.zip", pDisk);
        m_recorder.Clear();
        CImageFileReader reader;
        ASSERT_TRUE(reader.Open(devices, "fake:disk.zip", EImageFormat::Zip));
        TBytes block(BLOCK);
        uint32_t nGot = BLOCK;
        while (nGot == BLOCK && reader.ReadBlock(block.data(), BLOCK, nGot, m_bAbort)) {}
        EXPECT_EQ(reader.LastError(), SystemError::IoError());
        EXPECT_EQ(Reason() + "\n", GetSystemErrorText(SystemError::IoError()));
    }
}

TEST_F(ImageDecoderTest, AnEmptyFileIsAnImageOfNoBytes)
{
    for (const EImageFormat eFormat : {EImageFormat::Xz, EImageFormat::Zstd, EImageFormat::Bzip2}) {
        TBytes got;
        EXPECT_TRUE(ReadAll({}, eFormat, got)) << ImageFormatName(eFormat);
        EXPECT_TRUE(got.empty());
    }
}

TEST_F(ImageDecoderTest, AnAbsentLibraryFailsTheFirstBlockAndSaysWhichOneIsNeeded)
{
    const struct {
        EImageFormat eFormat;
        ECodecLibrary eLibrary;
        const char* pszReason;
    } cases[] = {
        {EImageFormat::Xz, ECodecLibrary::Lzma,
         "the xz library (liblzma) is needed to read .xz images and was not found."},
        {EImageFormat::Zstd, ECodecLibrary::Zstd,
         "the zstd library (libzstd) is needed to read .zst images and was not found."},
        {EImageFormat::Bzip2, ECodecLibrary::Bzip2,
         "the bzip2 library (libbz2) is needed to read .bz2 images and was not found."},
        {EImageFormat::Zip, ECodecLibrary::Archive,
         "the zip library (libarchive) is needed to read .zip images and was not found."},
    };
    const TBytes data = Pattern(1000, 1);
    for (const auto& c : cases) {
        CodecLibraries::SetAbsent(c.eLibrary, true);
        TBytes got;
        EXPECT_FALSE(ReadAll(Zstd(data, 1), c.eFormat, got));
        CodecLibraries::SetAbsent(c.eLibrary, false);
        EXPECT_EQ(Reason(), c.pszReason);
        EXPECT_TRUE(got.empty());
    }
}

}  // namespace

// ---- xz images decoded block by block on worker threads -------------------

namespace {

// Text-like runs between random stretches: compresses about 3:1, and every
// block takes the decoder a while.
TBytes MixedData(size_t nSize, uint32_t nSeed)
{
    TBytes data(nSize);
    std::mt19937 random(nSeed);
    const char szText[] = "the quick brown fox jumps over the lazy dog; ";
    for (size_t i = 0; i < nSize; ++i)
        data[i] = (i / 4096) % 3 == 0 ? static_cast<uint8_t>(random()) : static_cast<uint8_t>(szText[i % 45]);
    return data;
}

// Whether the block header at nAt records its sizes (the flags byte's two
// top bits).
bool HeaderHasSizes(const TBytes& file, size_t nAt)
{
    return (file[nAt + 1] & 0xC0) == 0xC0;
}

class XzDecoderTest : public ::testing::Test {
protected:
    // A decoder over the file held in memory, with these limits.
    std::unique_ptr<CXzDecoder> Open(const TBytes& file, const T_XZ_LIMITS& limits = {})
    {
        m_pDisk = std::make_shared<CFakeDisk>(file);
        m_pDisk->SetKind(EDeviceKind::RegularFile);
        return OpenDisk(limits);
    }
    std::unique_ptr<CXzDecoder> OpenDisk(const T_XZ_LIMITS& limits = {})
    {
        CFakeDeviceProvider devices;
        devices.Add("fake:image.xz", m_pDisk);
        uint32_t nError = 0;
        m_pDevice = devices.Open("fake:image.xz", EOpenMode::ReadImage, nError);
        EXPECT_TRUE(m_pDevice) << nError;
        return std::make_unique<CXzDecoder>(*m_pDevice, *LzmaEntryPoints(), limits);
    }
    // Reads the image in calls of the lengths given, one after another and
    // again, until it ends or fails; the result of the last call.
    static T_DECODE_RESULT ReadAll(IImageDecoder& decoder, TBytes& got, const std::vector<uint32_t>& lengths)
    {
        for (size_t i = 0;; ++i) {
            const uint32_t nLength = lengths[i % lengths.size()];
            TBytes block(nLength);
            uint32_t nProduced = 0;
            const T_DECODE_RESULT result = decoder.Read(block.data(), nLength, nProduced);
            got.insert(got.end(), block.begin(), block.begin() + nProduced);
            if (!result.bOk || nProduced < nLength) return result;
        }
    }

    std::shared_ptr<CFakeDisk> m_pDisk;
    std::unique_ptr<IDevice> m_pDevice;
};

// A failure in a block behind others is handed out only once every byte of
// the blocks in front of it has been, and never a byte of a block behind
// it; every later call fails too. The same on one worker and on several.
TEST_F(XzDecoderTest, AFailureInALaterBlockComesAfterEveryByteInFrontOfIt)
{
    const TBytes data = MixedData(6 * 512 * 1024, 3);
    const T_XZ_FILE good = XzStream(data, {{512 * 1024}});
    ASSERT_EQ(good.blockStarts.size(), 6u);
    const auto& starts = good.blockStarts;
    struct T_CASE {
        const char* pszName;
        size_t nBlock;  // the block that fails
        std::function<void(TBytes&)> fnDamage;
        EDecodeFailure eFailure;
        const char* pszDetail;
    };
    const T_CASE cases[] = {
        {"a byte flipped in the 2nd block", 1, [&](TBytes& f) { f[(starts[1] + starts[2]) / 2] ^= 0x10; },
         EDecodeFailure::Damaged, nullptr},
        {"the 3rd block's check value", 2, [&](TBytes& f) { f[starts[3] - 1] ^= 0x01; }, EDecodeFailure::Damaged,
         "a block's data break the format's rules or fail their check"},
        {"the 4th block's header", 3, [&](TBytes& f) { f[starts[3] + 4] ^= 0x01; }, EDecodeFailure::Damaged,
         "a block header is damaged"},
        {"cut in the 5th block", 4, [&](TBytes& f) { f.resize(starts[4] + 1000); }, EDecodeFailure::Truncated,
         nullptr},
        {"an index that does not match the blocks", 6,
         [&](TBytes& f) { f = XzStream(data, {{512 * 1024}, {true}, 1 << 20, true}).bytes; },
         EDecodeFailure::Damaged, "the index does not match the blocks"},
        {"a stream footer that does not match its index", 6,
         [&](TBytes& f) {
             f[f.size() - 8] ^= 0x01;  // the backward size, with the footer's CRC32 made right again
             const uint32_t nCrc = lzma_crc32(f.data() + f.size() - 8, 6, 0);
             for (int i = 0; i < 4; ++i) f[f.size() - 12 + i] = static_cast<uint8_t>(nCrc >> (8 * i));
         },
         EDecodeFailure::Damaged, "a stream footer does not match its index"},
    };
    for (const T_CASE& c : cases) {
        for (const unsigned nWorkers : {1u, 3u}) {
            SCOPED_TRACE(std::string(c.pszName) + ", workers: " + std::to_string(nWorkers));
            TBytes file = good.bytes;
            c.fnDamage(file);
            const auto pDecoder = Open(file, T_XZ_LIMITS{64ull << 20, nWorkers});
            TBytes got;
            const T_DECODE_RESULT result = ReadAll(*pDecoder, got, {BLOCK});
            EXPECT_FALSE(result.bOk);
            EXPECT_EQ(result.eFailure, c.eFailure) << result.strDetail;
            if (c.pszDetail) {
                EXPECT_EQ(result.strDetail, c.pszDetail);
            }
            const size_t nInFront = c.nBlock == 0 ? 0 : good.blockEnds[c.nBlock - 1];
            ASSERT_GE(got.size(), nInFront);
            EXPECT_LE(got.size(), c.nBlock < 6 ? good.blockEnds[c.nBlock] : data.size());
            EXPECT_TRUE(std::equal(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(nInFront), got.begin()));
            uint32_t nProduced = 1;
            EXPECT_EQ(pDecoder->Read(got.data(), 1, nProduced).eFailure, EDecodeFailure::Unusable);
            EXPECT_EQ(nProduced, 0u);
        }
    }
}

// A read of the file that fails in the middle fails the image with the
// system's code, after the blocks wholly read in front of it.
TEST_F(XzDecoderTest, AFileReadThatFailsMidwayGivesTheSystemsCodeAfterTheBlocksInFront)
{
    const TBytes data = MixedData(12 * 512 * 1024, 4);
    const T_XZ_FILE file = XzStream(data, {{512 * 1024}});
    ASSERT_GT(file.bytes.size(), 2 * BLOCK);
    for (const uint64_t nAt : {uint64_t{10}, uint64_t{BLOCK + 5}, uint64_t{file.bytes.size() - 3}}) {
        SCOPED_TRACE(nAt);
        m_pDisk = std::make_shared<CFakeDisk>(file.bytes);
        m_pDisk->SetKind(EDeviceKind::RegularFile);
        m_pDisk->FailReads(nAt, nAt + 1, SystemError::IoError());
        const auto pDecoder = OpenDisk();
        TBytes got;
        const T_DECODE_RESULT result = ReadAll(*pDecoder, got, {BLOCK});
        EXPECT_EQ(result.eFailure, EDecodeFailure::FileRead);
        EXPECT_EQ(result.nError, SystemError::IoError());
        // The file is read in 1 MiB pieces: the blocks before the failed
        // piece were wholly read.
        const uint64_t nPiece = nAt / BLOCK * BLOCK;
        size_t nInFront = 0;
        for (size_t i = 0; i + 1 < file.blockStarts.size() && file.blockStarts[i + 1] <= nPiece; ++i)
            nInFront = file.blockEnds[i];
        EXPECT_GE(got.size(), nInFront);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
        EXPECT_LE(pDecoder->CompressedBytes(), nPiece);
    }
}

// Every shape of file read in lengths that cross the block boundaries at
// every offset: the image comes out whole, and the progress figure ends at
// the file's size.
TEST_F(XzDecoderTest, ReadsOfOddLengthsAcrossBlockBoundariesGiveTheWholeImage)
{
    const TBytes data = MixedData(3 * BLOCK + 12345, 5);
    const struct {
        const char* pszName;
        TBytes file;
    } shapes[] = {
        {"blocks with sizes", XzStream(data, {{300 * 1024}}).bytes},
        {"blocks without sizes", XzStream(data, {{300 * 1024}, {false}}).bytes},
        {"blocks with and without", XzStream(data, {{300 * 1024}, {false, true, true}}).bytes},
        {"two streams with padding", XzTwoStreams(data)},
        {"one block", XzStream(data, {{1 << 30}}).bytes},
    };
    for (const auto& shape : shapes) {
        for (const unsigned nWorkers : {1u, 2u, 4u}) {
            SCOPED_TRACE(std::string(shape.pszName) + ", workers: " + std::to_string(nWorkers));
            const auto pDecoder = Open(shape.file, T_XZ_LIMITS{64ull << 20, nWorkers});
            TBytes got;
            EXPECT_TRUE(ReadAll(*pDecoder, got, {1, 4093, 65539, 7, BLOCK + 5, 300 * 1024}).bOk);
            EXPECT_TRUE(got == data) << got.size() << " bytes of " << data.size();
            EXPECT_EQ(pDecoder->CompressedBytes(), shape.file.size());
        }
    }
    const TBytes mixed = XzStream(data, {{300 * 1024}, {false, true}}).bytes;
    EXPECT_TRUE(!HeaderHasSizes(mixed, 12) && HeaderHasSizes(XzStream(data, {{300 * 1024}}).bytes, 12))
        << "the files made here have blocks without their sizes";
}

// Stream padding that is not a multiple of four, and bytes after the last
// stream that begin like one, fail as xz -d fails them.
TEST_F(XzDecoderTest, WhatFollowsTheLastStreamIsCheckedAsXzChecksIt)
{
    const TBytes data = MixedData(100000, 6);
    const TBytes one = XzStream(data, {{1 << 30}}).bytes;
    const auto with = [&](std::vector<uint8_t> tail) {
        TBytes f = one;
        f.insert(f.end(), tail.begin(), tail.end());
        return f;
    };
    const struct {
        const char* pszName;
        TBytes file;
        EDecodeFailure eFailure;  // None: the image reads whole
    } cases[] = {
        {"padding of 8 zero bytes", with({0, 0, 0, 0, 0, 0, 0, 0}), EDecodeFailure::None},
        {"padding of 3 zero bytes", with({0, 0, 0}), EDecodeFailure::Damaged},
        {"the start of another stream", with({0xFD, '7', 'z', 'X'}), EDecodeFailure::Truncated},
        {"another stream cut in its header", with({0xFD, '7', 'z', 'X', 'Z', 0, 0, 4, 0}), EDecodeFailure::Truncated},
        {"a byte that is not padding", with({0, 0, 0, 0, 1}), EDecodeFailure::Trailing},
        {"padding of 2 bytes, then a stream", with({0, 0, 0xFD, '7', 'z', 'X', 'Z', 0, 0, 4, 0, 0, 0, 0}),
         EDecodeFailure::Damaged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const auto pDecoder = Open(c.file);
        TBytes got;
        const T_DECODE_RESULT result = ReadAll(*pDecoder, got, {BLOCK});
        EXPECT_EQ(result.eFailure, c.eFailure) << result.strDetail;
        EXPECT_TRUE(got == data);
    }
}

// The file's first bytes: an empty file and a stream of no blocks are
// images of 0 bytes; anything else that is not a whole stream header fails.
TEST_F(XzDecoderTest, TheStreamHeaderDecidesWhatTheFileIs)
{
    const TBytes empty = XzStream({}, {{BLOCK}}).bytes;
    TBytes badCrc = empty;
    badCrc[8] ^= 0x01;
    const struct {
        const char* pszName;
        TBytes file;
        EDecodeFailure eFailure;  // None: an image of 0 bytes
    } cases[] = {
        {"an empty file", {}, EDecodeFailure::None},
        {"a stream of no blocks", empty, EDecodeFailure::None},
        {"a stream header cut short", TBytes(empty.begin(), empty.begin() + 7), EDecodeFailure::Truncated},
        {"a stream header whose check fails", badCrc, EDecodeFailure::Damaged},
        {"a file that is not xz", TBytes(40, 'x'), EDecodeFailure::NotThisFormat},
        {"a few bytes that are not xz", {'P', 'K'}, EDecodeFailure::NotThisFormat},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const auto pDecoder = Open(c.file);
        TBytes got;
        EXPECT_EQ(ReadAll(*pDecoder, got, {BLOCK}).eFailure, c.eFailure);
        EXPECT_TRUE(got.empty());
        EXPECT_EQ(pDecoder->CompressedBytes(), c.file.size());
    }
}

// The budget holds everything the decoder keeps, and blocks decode at once
// as far as it allows: a budget with room for two blocks' decoders and
// their chunks decodes two blocks at once, one without room decodes them
// one after another, and one smaller than a single block's dictionary
// (xz -9's 64 MiB within 64 MiB) still decodes, one block at a time.
TEST_F(XzDecoderTest, TheBudgetBoundsWhatIsHeldAndHowManyBlocksDecodeAtOnce)
{
    const TBytes data = MixedData(4 * BLOCK, 7);
    const struct {
        const char* pszName;
        uint32_t nDict;
        uint64_t nBudget;
        unsigned nMostDecoding;
        uint64_t nPeakLimit;
    } cases[] = {
        {"room for two", 64 * 1024, 16 * BLOCK, 2, 16 * BLOCK},
        {"room for one", 64 * 1024, 8 * BLOCK, 1, 8 * BLOCK},
        {"a dictionary bigger than the budget", 4 * BLOCK, 2 * BLOCK, 1, 2 * BLOCK + 5 * BLOCK + 6 * BLOCK},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        const TBytes file = XzStream(data, {{BLOCK}, {true}, c.nDict}).bytes;
        const auto pDecoder = Open(file, T_XZ_LIMITS{c.nBudget, 2});
        TBytes got;
        EXPECT_TRUE(ReadAll(*pDecoder, got, {BLOCK}).bOk);
        EXPECT_TRUE(got == data);
        const T_XZ_STATS stats = pDecoder->Stats();
        EXPECT_EQ(stats.nMostDecoding, c.nMostDecoding);
        EXPECT_LE(stats.nPeakHeld, c.nPeakLimit);
        EXPECT_GT(stats.nPeakHeld, c.nDict) << "a started block's dictionary is held";
    }
}

// The engines drop the decoder on an abort at any moment: wherever its
// workers wait (for the budget, for input the reader has not read yet, for
// the reader to take their output) or whatever they decode, it stops them
// and returns promptly.
TEST_F(XzDecoderTest, DroppingTheDecoderMidReadStopsItsWorkersWhereverTheyWait)
{
    const TBytes data = MixedData(6 * BLOCK, 8);
    const TBytes file = XzStream(data, {{2 * BLOCK}}).bytes;
    const struct {
        const char* pszName;
        T_XZ_LIMITS limits;
        size_t nRead;  // bytes read before the decoder is dropped
    } cases[] = {
        {"never read", {}, 0},
        {"after a byte: the head waits for input, the next for its output to be taken", {}, 1},
        {"after a byte, within a budget that holds one block: the next waits for the budget", {8 * BLOCK, 3}, 1},
        {"halfway, on one worker", {64ull << 20, 1}, data.size() / 2},
        {"halfway, on four", {64ull << 20, 4}, data.size() / 2 + 17},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        auto pDecoder = Open(file, c.limits);
        TBytes got(c.nRead);
        uint32_t nProduced = 0;
        for (size_t nDone = 0; nDone < c.nRead; nDone += nProduced) {
            ASSERT_TRUE(pDecoder->Read(got.data() + nDone, static_cast<uint32_t>(c.nRead - nDone), nProduced).bOk);
            ASSERT_GT(nProduced, 0u);
        }
        EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin()));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the workers get to their waits
        const auto start = std::chrono::steady_clock::now();
        pDecoder.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
}

}  // namespace
