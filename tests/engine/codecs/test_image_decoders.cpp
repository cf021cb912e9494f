// xz, zstd, bzip2 and zip images read through the shared image-file reader:
// a whole file decodes byte for byte, and every kind of damage fails the
// read with its reason, never as a shorter good image. The images are made
// here with the linked libraries.
#include <bzlib.h>
#include <gtest/gtest.h>
#include <lzma.h>
#include <zstd.h>

#include <functional>
#include <random>

#include "engine/codecs/codec_libraries.h"
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
