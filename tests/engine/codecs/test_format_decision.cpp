// The one decision of an image's format from its name (or what was asked
// for) and its first bytes: a promise the bytes do not keep is refused, a
// raw image is never taken for a compressed one, and one that looks
// compressed is warned about.
#include <gtest/gtest.h>

#include "engine/codecs/codec_libraries.h"
#include "engine/codecs/format_decision.h"
#include "engine/codecs/zip_member_choice.h"
#include "tests/engine/codecs/zip_test_archive.h"
#include "tests/engine/test_helpers.h"
#include "tests/support/temp_dir.h"

namespace {

const std::vector<uint8_t> XZ = {0xFD, '7', 'z', 'X', 'Z', 0, 0, 4};
const std::vector<uint8_t> ZSTD = {0x28, 0xB5, 0x2F, 0xFD, 0x24, 0x05};
const std::vector<uint8_t> ZSTD_SKIPPABLE = {0x53, 0x2A, 0x4D, 0x18, 0, 0, 0, 0};
const std::vector<uint8_t> BZIP2 = {'B', 'Z', 'h', '9', '1', 'A'};
const std::vector<uint8_t> GZIP = {0x1F, 0x8B, 8, 0};
const std::vector<uint8_t> ZIP = {'P', 'K', 3, 4, 20, 0};
const std::vector<uint8_t> RAW = {0xEB, 0x3C, 0x90, 'M', 'S', 'D', 'O', 'S'};

TEST(FormatDecision, TheNameOrTheAskDecidesAndTheFirstBytesMustKeepItsPromise)
{
    const struct {
        const char* pszName;
        std::vector<uint8_t> bytes;
        EFormatAsk eAsk;
        EImageFormat eFormat;
        const char* pszRefusal;  // after the path; "" none
        const char* pszWarning;  // after the path; "" none
    } cases[] = {
        {"disk.img.xz", XZ, EFormatAsk::ByName, EImageFormat::Xz, "", ""},
        {"DISK.XZ", XZ, EFormatAsk::ByName, EImageFormat::Xz, "", ""},
        {"disk.zst", ZSTD, EFormatAsk::ByName, EImageFormat::Zstd, "", ""},
        {"disk.zstd", ZSTD_SKIPPABLE, EFormatAsk::ByName, EImageFormat::Zstd, "", ""},
        {"disk.bz2", BZIP2, EFormatAsk::ByName, EImageFormat::Bzip2, "", ""},
        {"disk.gz", GZIP, EFormatAsk::ByName, EImageFormat::Gzip, "", ""},
        {"disk.gmz", GZIP, EFormatAsk::ByName, EImageFormat::Gzip, "", ""},
        {"disk.img", GZIP, EFormatAsk::Gzip, EImageFormat::Gzip, "", ""},
        {"disk.xz", {}, EFormatAsk::ByName, EImageFormat::Xz, "", ""},  // an image of 0 bytes
        {"disk.iso", RAW, EFormatAsk::ByName, EImageFormat::Raw, "", ""},
        {"disk.xz", ZSTD, EFormatAsk::ByName, EImageFormat::Xz,
         " is not an xz file: its first bytes are not those of an xz stream.\n", ""},
        {"disk.bz2", {'B', 'Z'}, EFormatAsk::ByName, EImageFormat::Bzip2,
         " is not a bzip2 file: its first bytes are not those of a bzip2 stream.\n", ""},
        {"disk.gmz", RAW, EFormatAsk::ByName, EImageFormat::Gzip,
         " is not a gzip file: its first bytes are not those of a gzip stream.\n", ""},
        {"disk.img", XZ, EFormatAsk::ByName, EImageFormat::Raw, "",
         " starts as an xz file does; it is read as a raw image, byte for byte, all the same (an image is "
         "decompressed when its name ends in .xz).\n"},
        {"disk.gmi", ZSTD_SKIPPABLE, EFormatAsk::ByName, EImageFormat::Raw, "",
         " starts as a zstd file does; it is read as a raw image, byte for byte, all the same (an image is "
         "decompressed when its name ends in .zst).\n"},
        {"disk.dd", BZIP2, EFormatAsk::ByName, EImageFormat::Raw, "",
         " starts as a bzip2 file does; it is read as a raw image, byte for byte, all the same (an image is "
         "decompressed when its name ends in .bz2).\n"},
        {"disk.gmz", GZIP, EFormatAsk::Raw, EImageFormat::Raw, "",
         " starts as a gzip file does; it is read as a raw image, byte for byte, all the same (an image is "
         "decompressed when its name ends in .gmz).\n"},
    };
    for (const auto& c : cases) {
        CTempDir dir;
        const std::string strPath = dir.File(c.pszName);
        WriteWholeFile(strPath, c.bytes);
        SCOPED_TRACE(c.pszName);
        const T_FORMAT_DECISION decision = DecideImageFormat(GetPlatformDevices(), strPath, c.eAsk);
        EXPECT_EQ(decision.eFormat, c.eFormat);
        EXPECT_EQ(decision.look.strRefusal, *c.pszRefusal ? strPath + c.pszRefusal : "");
        EXPECT_EQ(decision.look.strWarning, *c.pszWarning ? strPath + c.pszWarning : "");
    }
}

TEST(FormatDecision, AFormatThatCannotBeReadHereIsRefusedWithWhatItNeeds)
{
    CTempDir dir;
    const std::string strXz = dir.File("disk.xz");
    WriteWholeFile(strXz, XZ);
    CodecLibraries::SetAbsent(ECodecLibrary::Lzma, true);
    const T_FORMAT_DECISION decision = DecideImageFormat(GetPlatformDevices(), strXz, EFormatAsk::ByName);
    CodecLibraries::SetAbsent(ECodecLibrary::Lzma, false);
    EXPECT_EQ(decision.look.strRefusal, "can't read " + strXz +
                                            ": the xz library (liblzma) is needed to read .xz images and was not "
                                            "found.\n");
    const std::string strZip = dir.File("disk.zip");
    WriteWholeFile(strZip, ZIP);
    CodecLibraries::SetAbsent(ECodecLibrary::Archive, true);
    EXPECT_EQ(DecideImageFormat(GetPlatformDevices(), strZip, EFormatAsk::ByName).look.strRefusal,
              "can't read " + strZip + ": the zip library (libarchive) is needed to read .zip images and was not "
                                       "found.\n");
    CodecLibraries::SetAbsent(ECodecLibrary::Archive, false);
    // A file that is not there is the job's own checks' to report.
    EXPECT_EQ(DecideImageFormat(GetPlatformDevices(), dir.File("gone.xz"), EFormatAsk::ByName).look.strRefusal, "");
}

// A library that decodes but lacks a compression entry point writes no
// .zst image, and the refusal names what it lacks.
TEST(FormatDecision, AZstdLibraryThatCannotCompressNamesWhatItLacks)
{
    EXPECT_EQ(FormatUnwritableReason(EImageFormat::Zstd), "");
    T_ZSTD_ENTRY_POINTS partial = *ZstdEntryPoints();
    EXPECT_EQ(MissingZstdCompression(partial), "");
    partial.ZSTD_createCCtx = nullptr;
    partial.ZSTD_compressStream2 = nullptr;
    EXPECT_EQ(MissingZstdCompression(partial), "ZSTD_createCCtx, ZSTD_compressStream2");
}

// A zip image is the archive's one file, or its one file named as an image
// among small side files; any other archive is refused before anything is
// asked, with what it holds.
TEST(FormatDecision, AZipImageIsItsOneImageFileAndAnyOtherArchiveIsRefusedWithWhatItHolds)
{
    const std::vector<uint8_t> small(100, 'x');
    const std::vector<uint8_t> big(ZIP_SIDE_FILE_BYTES + 1, 0);
    std::vector<T_ZIP_TEST_FILE> many;
    std::string strMany = "this one holds 12:\n";
    for (int i = 0; i < 12; ++i) {
        many.push_back({"part" + std::to_string(i) + ".img", small});
        if (i < 10) strMany += "  part" + std::to_string(i) + ".img (100 bytes)\n";
    }
    strMany += "  and 2 more.\n";
    const struct {
        const char* pszName;
        std::vector<uint8_t> file;
        std::string strRefusal;  // after the rule; "" none
    } cases[] = {
        {"one file", MakeZip({{"disk.raw", big}}), ""},
        {"an image among small side files",
         MakeZip({{"README.txt", small}, {"Disk.IMG", big}, {"disk.img.sha256", small}}), ""},
        {"an image in a folder", MakeZip({{"images/", {}}, {"images/disk.iso", small}}), ""},
        {"two images", MakeZip({{"a.img", small}, {"b.dd", small}}),
         "this one holds 2:\n  a.img (100 bytes)\n  b.dd (100 bytes)\n"},
        {"a big side file", MakeZip({{"disk.gmi", small}, {"notes.txt", big}}),
         "this one holds 2:\n  disk.gmi (100 bytes)\n  notes.txt (1048577 bytes)\n"},
        {"no image among the files", MakeZip({{"a.txt", small}, {"b.txt", small}}),
         "this one holds 2:\n  a.txt (100 bytes)\n  b.txt (100 bytes)\n"},
        {"only a folder", MakeZip({{"images/", {}}}), "this one holds no file.\n"},
        {"nothing", MakeZip({}), "this one holds no file.\n"},
        {"twelve images", MakeZip(many), strMany},
    };
    const std::string strRule = "a zip image must hold one file, or one file named .img, .iso, .bin, .dd or .gmi "
                                "beside files of at most 1 MiB; ";
    CTempDir dir;
    const std::string strPath = dir.File("disk.zip");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        WriteWholeFile(strPath, c.file);
        const T_FORMAT_DECISION decision = DecideImageFormat(GetPlatformDevices(), strPath, EFormatAsk::ByName);
        EXPECT_EQ(decision.eFormat, EImageFormat::Zip);
        EXPECT_EQ(decision.look.strRefusal,
                  c.strRefusal.empty() ? "" : "can't read " + strPath + ": " + strRule + c.strRefusal);
    }
    WriteWholeFile(strPath, ZIP);
    EXPECT_EQ(DecideImageFormat(GetPlatformDevices(), strPath, EFormatAsk::ByName).look.strRefusal,
              "can't read " + strPath + ": the zip data are damaged: its directory, at the end of the file, cannot be "
                                        "read (Unrecognized archive format).\n");
}

// An archive with a password is refused before anything is asked, not at
// its first read, with the drives already taken; the pattern is readable
// where only a side file is encrypted.
TEST(FormatDecision, AZipImageWithAPasswordIsRefusedByName)
{
    CTempDir dir;
    const std::string strPath = dir.File("disk.zip");
    for (const char* pszMethod : {"zip:encryption=zipcrypt", "zip:encryption=aes256"}) {
        SCOPED_TRACE(pszMethod);
        WriteWholeFile(strPath, MakeZip({{"README.txt", {'r'}}, {"disk.img", Pattern(5000, 1)}}, pszMethod, "pw"));
        EXPECT_EQ(DecideImageFormat(GetPlatformDevices(), strPath, EFormatAsk::ByName).look.strRefusal,
                  "can't read " + strPath +
                      ": its image file, disk.img, is encrypted (the archive has a password), and encrypted zip "
                      "files cannot be read here.\n");
    }
    std::vector<T_ZIP_MEMBER> members = {{"notes.txt", 10, false, true, true}, {"disk.img", 5000, false, true, false}};
    EXPECT_EQ(ChooseZipImage(members), 1u);
    EXPECT_EQ(ZipImageRefusal(members[1]), "");
}

}  // namespace
