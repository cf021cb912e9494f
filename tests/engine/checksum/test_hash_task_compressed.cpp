// The checksum task on compressed images, and the images it cannot hash:
// the digest of the data an image holds; failures that leave the
// operator's log alone.
#include "engine/checksum/md5sum_file.h"
#include "engine/core/format.h"
#include "engine/core/system_error.h"
#include "tests/engine/checksum/hash_task_fixture.h"

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

// A .gmz with the .md5sum file the job runner writes beside it: the size
// comes as 0 at first and as the data's once inflated, and the digest is
// that of the data. A .md5sum file of the compressed file's own bytes is
// told apart; an empty file is the image of a drive of 0 bytes.
TEST_F(HashTaskCompressedTest, ACompressedImageHasItsDatasDigestAndItsMd5sumAgrees)
{
    const std::vector<uint8_t> data = Pattern(3 * MIB + 333, 4), image = CompressToMemory(data);
    const std::string strDigest = Md5Of(data);
    const auto Sum = [](const std::vector<uint8_t>& bytes) {
        CMd5 md5;
        md5.Update(bytes.data(), bytes.size());
        const std::string strText = Md5SumText(md5.Final(), "disk.gmz");
        return std::vector<uint8_t>(strText.begin(), strText.end());
    };
    for (const bool bOfFile : {false, true}) {
        AddImage("disk.gmz", image);
        AddImage("disk.gmz.md5sum", Sum(bOfFile ? image : data));
        m_recorder.Clear();
        Calculate("disk.gmz", true);
        const std::vector<std::string> results = Results();
        ASSERT_GE(results.size(), 5u);
        EXPECT_EQ(std::vector<std::string>(results.begin(), results.begin() + 2), (std::vector<std::string>{"0:0", "3:0"}));
        EXPECT_EQ(std::vector<std::string>(results.end() - 3, results.end()),
                  (std::vector<std::string>{"3:" + std::to_string(data.size()), "1:" + strDigest,
                                            "2:" + std::to_string(bOfFile ? CHECKSUM_VERDICT_OF_FILE : 0)}));
        EXPECT_TRUE(m_task.m_bHashValid);
        EXPECT_EQ(m_task.m_nImageSize, data.size());
    }
    AddImage("empty.gmz", {});
    m_recorder.Clear();
    Calculate("empty.gmz", true);
    EXPECT_EQ(Results().back(), "1:" + Md5Of({}));
    EXPECT_TRUE(m_task.m_bHashValid);
}

// A SHA-256 file beside a raw image or a .gmz holds the digest of the file
// as it is, or of a compressed image's data, or neither: the same pass
// computes both and the verdict says which one it holds. Both files are
// looked at; one that is not there gets no verdict.
TEST_F(HashTaskCompressedTest, ASha256FileIsToldWhetherItHoldsTheFilesOrTheDatasDigest)
{
    const std::vector<uint8_t> data = Pattern(2 * MIB + 99, 5), gmz = CompressToMemory(data);
    const std::string DATA = Sha256Of(data), FILE = Sha256Of(gmz), OTHER(64, 'e');
    const auto Bytes = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    const struct {
        bool bCompressed;
        std::string strSha256sum, strSha256;  // "": not there
        std::vector<std::string> tail;  // the last results: digests, then verdicts
    } cases[] = {
        {false, DATA + "  disk.gmi\n", "", {"4:" + DATA, "6:1"}},
        {false, OTHER + "\n", DATA, {"4:" + DATA, "6:2", "7:1"}},
        {true, DATA + "  disk.gmz\n", "", {"4:" + FILE, "5:" + DATA, "6:0"}},
        {true, "", FILE, {"4:" + FILE, "5:" + DATA, "7:1"}},
        {true, OTHER + " *disk.gmz\n", "", {"4:" + FILE, "5:" + DATA, "6:2"}},
        {true, "", "no digest\n", {"1:" + Md5Of(data), "7:2"}},  // nothing to compute a SHA-256 for
    };
    int i = 0;
    for (const auto& c : cases) {
        const std::string strImage = std::to_string(i++) + (c.bCompressed ? "/disk.gmz" : "/disk.gmi");
        AddImage(strImage, c.bCompressed ? gmz : data);
        if (!c.strSha256sum.empty()) AddImage(strImage + ".sha256sum", Bytes(c.strSha256sum));
        if (!c.strSha256.empty()) AddImage(strImage + ".sha256", Bytes(c.strSha256));
        m_recorder.Clear();
        Calculate(strImage, c.bCompressed);
        const std::vector<std::string> results = Results();
        ASSERT_GE(results.size(), c.tail.size());
        EXPECT_EQ(std::vector<std::string>(results.end() - static_cast<ptrdiff_t>(c.tail.size()), results.end()),
                  c.tail)
            << c.strSha256sum << c.strSha256;
    }
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
