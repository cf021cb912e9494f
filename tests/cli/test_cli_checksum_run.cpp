// Whole runs of the checksum command in this process, on fake images: the
// digest and size lines, the .md5sum verdict with its reason, failures with
// theirs, progress and a stop.
#include <gtest/gtest.h>

#include "engine/core/md5.h"
#include "tests/cli/cli_run_fixture.h"

namespace {

using cli_test::FakeImage;

std::string Md5Of(const std::vector<uint8_t>& data)
{
    CMd5 md5;
    md5.Update(data.data(), data.size());
    return Md5Text(md5.Final());
}

class CliChecksumRun : public cli_test::CliRunTest {
protected:
    void SetUp() override { m_devices.Add("fake.gmi", m_pImage); }

    void AddSumFile(const std::string& strImage, const std::string& strText)
    {
        auto pFile = std::make_shared<CFakeDisk>(std::vector<uint8_t>(strText.begin(), strText.end()));
        pFile->SetKind(EDeviceKind::RegularFile);
        m_devices.Add(strImage + ".md5sum", pFile);
    }

    int Checksum(std::vector<std::string> args)
    {
        args.insert(args.begin(), "checksum");
        return RunCli(args);
    }

    std::string Lines(const std::vector<uint8_t>& data, const std::string& strImage)
    {
        return "IMAGE MD5SUM=" + Md5Of(data) + "\nIMAGE DATA SIZE=" + std::to_string(data.size()) + " bytes\n  " +
               strImage + ".md5sum - ";
    }

    std::shared_ptr<CFakeDisk> m_pImage = FakeImage(2 * cli_test::MIB + 77);
};

TEST_F(CliChecksumRun, TheVerdictSaysWhetherAndWhyTheMd5sumFileDisagrees)
{
    const std::string strDigest = Md5Of(m_pImage->Contents());
    const std::string strOther = std::string(32, 'f');
    const struct {
        std::string strSum;  // "-": no .md5sum file
        int nStatus;
        std::string strVerdict;
    } cases[] = {
        {strDigest + " fake.gmi\n", 0, "OK\n"},
        {"-", 0, "none, nothing to compare with.\n"},
        {strOther + " fake.gmi\n", 1, "NG (it holds " + strOther + ")\n"},
        {"", 1, "NG (it does not start with an MD5 digest)\n"},
    };
    int i = 0;
    for (const auto& c : cases) {
        const std::string strImage = "img" + std::to_string(i++) + ".gmi";
        m_devices.Add(strImage, m_pImage);
        if (c.strSum != "-") AddSumFile(strImage, c.strSum);
        m_strOut.clear();
        EXPECT_EQ(Checksum({strImage}), c.nStatus) << m_strOut;
        EXPECT_EQ(m_strOut, "CHECKSUM " + strImage + "\n" + Lines(m_pImage->Contents(), strImage) + c.strVerdict);
    }
}

TEST_F(CliChecksumRun, AnImageThatCannotBeHashedFailsWithItsReason)
{
    EXPECT_EQ(Checksum({"no-such.gmi"}), 1);
    EXPECT_TRUE(OutHas("[ERROR] can't open file no-such.gmi.\n")) << m_strOut;
    EXPECT_TRUE(OutHas("[ERROR] the checksum of no-such.gmi could not be computed.\n")) << m_strOut;
    m_strOut.clear();
    if (!ZlibLibraryFound()) return;  // the rest needs a zlib library
    EXPECT_EQ(Checksum({"--compress", "fake.gmi"}), 1);
    EXPECT_TRUE(OutHas("[ERROR] fake.gmi is not a compressed image: it does not start with 1F 8B 08 00.\n"))
        << m_strOut;
    EXPECT_FALSE(OutHas("MD5SUM=")) << m_strOut;
}

TEST_F(CliChecksumRun, ProgressShowsAndAStopEndsWithTheSignalsStatus)
{
    m_pImage->SetReadDelayMs(300);
    m_output.eProgress = EProgressMode::Live;
    m_onWrite = [this] {  // at the first progress figure
        if (m_strErr.find('%') != std::string::npos) m_stop.Request(EStopSignal::Terminate);
    };
    EXPECT_EQ(Checksum({"fake.gmi"}), 143);
    EXPECT_TRUE(ErrHas("  0.0%")) << m_strErr;
    EXPECT_TRUE(OutHas("[ERROR] stopped by " + std::string(StopSignalText(EStopSignal::Terminate)) +
                       ": the checksum of fake.gmi was not computed.\n"))
        << m_strOut;
    EXPECT_FALSE(OutHas("MD5SUM=")) << m_strOut;
    EXPECT_LT(m_pImage->TotalReads(), 3u);
}

}  // namespace
