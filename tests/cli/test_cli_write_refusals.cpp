// What the write command refuses before it asks anything: each refusal is
// one line, the exit status is 1, nobody is asked, and no drive changes.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/core/system_error.h"
#include "engine/zlib/zlib_binding.h"
#include "tests/cli/cli_run_fixture.h"

namespace {

using cli_test::MIB;
constexpr uint64_t SIZE = 2 * MIB + 77;
const std::string IMAGE = "fake-image.gmi";
const std::string T1 = "fake-t1";
const std::string T2 = "fake-t2";

class CliWriteRefusal : public cli_test::CliRunTest {
protected:
    void SetUp() override
    {
        m_devices.Add(IMAGE, m_pImage);
        m_devices.Add(T1, m_pT1);
        m_devices.Add(T2, m_pT2);
    }

    // Runs "write --yes ARGS...": even with --yes nothing may be written.
    // Checks the common promises and returns the log.
    std::string Refused(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"write", "--yes"});
        EXPECT_EQ(RunCli(args), 1);
        EXPECT_EQ(m_strErr, "") << "asked although refused";
        EXPECT_EQ(m_pT1->Contents(), m_before1);
        EXPECT_EQ(m_pT2->Contents(), m_before2);
        return m_strOut;
    }

    std::shared_ptr<CFakeDisk> m_pImage = cli_test::FakeImage(SIZE);
    std::shared_ptr<CFakeDisk> m_pT1 = CFakeDisk::WithPattern(SIZE, 1);
    std::shared_ptr<CFakeDisk> m_pT2 = CFakeDisk::WithPattern(SIZE, 2);
    const std::vector<uint8_t> m_before1 = m_pT1->Contents();
    const std::vector<uint8_t> m_before2 = m_pT2->Contents();
};

TEST_F(CliWriteRefusal, OneDriveUnderTwoNames)
{
    m_devices.Add("fake-alias", m_pT1);
    EXPECT_EQ(Refused({IMAGE, T1, T2, "fake-alias"}),
              "[ERROR] fake-t1 and fake-alias are the same drive: give each drive once.\n");
}

TEST_F(CliWriteRefusal, TheSamePathTwice)
{
    EXPECT_EQ(Refused({IMAGE, T1, T1}), "[ERROR] fake-t1 and fake-t1 are the same drive: give each drive once.\n");
}

TEST_F(CliWriteRefusal, TheImageAsOneOfItsDrives)
{
    EXPECT_EQ(Refused({IMAGE, T1, IMAGE}), "[ERROR] can't write disk fake-image.gmi: it is the image file itself.\n");
}

TEST_F(CliWriteRefusal, TheImageStoredOnADrive)
{
    m_pT1->SetStorage(T_STORAGE{{{500}, {}}, {}});
    m_pImage->SetStorage(T_STORAGE{{{}, {{500, 9}}}, {{500}, {}}});
    EXPECT_EQ(Refused({IMAGE, T1}), "[ERROR] can't write disk fake-t1: the image file fake-image.gmi is stored on it.\n");
}

TEST_F(CliWriteRefusal, ADiskAndOneOfItsPartitions)
{
    m_pT1->SetStorage(T_STORAGE{{{500}, {}}, {}});
    m_pT2->SetStorage(T_STORAGE{{{501}, {}}, {{500}, {}}});
    EXPECT_EQ(Refused({IMAGE, T1, T2}),
              "[ERROR] can't write disk fake-t2: it shares its storage with fake-t1, also a drive of this job.\n");
}

TEST_F(CliWriteRefusal, ADriveThatDoesNotExist)
{
    const std::string strOut = Refused({IMAGE, T1, "no-such-drive"});
    EXPECT_TRUE(strOut.starts_with("[ERROR] can't open disk no-such-drive: ")) << strOut;
    EXPECT_EQ(std::count(strOut.begin(), strOut.end(), '\n'), 1) << strOut;
}

TEST_F(CliWriteRefusal, AnImageThatDoesNotExist)
{
    const std::string strOut = Refused({"no-such-image.gmi", T1});
    EXPECT_TRUE(strOut.starts_with("[ERROR] can't open file no-such-image.gmi: ")) << strOut;
    EXPECT_EQ(std::count(strOut.begin(), strOut.end(), '\n'), 1) << strOut;
}

TEST_F(CliWriteRefusal, ADriveThatCannotBeMeasured)
{
    m_pT2->FailLengthRequest(SystemError::IoError(), true);
    EXPECT_TRUE(Refused({IMAGE, T1, T2}).starts_with("[ERROR] can't open disk fake-t2: its size cannot be told: "));
}

TEST_F(CliWriteRefusal, ADriveThatIsNotADisk)
{
    m_pT2->SetKind(EDeviceKind::CharacterDevice);
    EXPECT_EQ(Refused({IMAGE, T1, T2}), "[ERROR] can't open disk fake-t2: it is a character device, not a disk.\n");
}

// A drive held by someone else (a mounted file system) is found before
// the question, so the other drive is not written either.
TEST_F(CliWriteRefusal, ADriveThatCannotBeOpenedForWriting)
{
    cli_test::CBusyDevices busy(m_devices, T2);
    m_pDevices = &busy;
    EXPECT_TRUE(Refused({IMAGE, T1, T2}).starts_with("[ERROR] can't write disk fake-t2: ")) << m_strOut;
}

TEST_F(CliWriteRefusal, EveryProblemIsReportedInOneRun)
{
    m_pT2->SetKind(EDeviceKind::Directory);
    const std::string strOut = Refused({IMAGE, T1, "no-such-drive", T2, T1});
    EXPECT_NE(strOut.find("can't open disk no-such-drive: "), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("can't open disk fake-t2: it is a folder, not a disk.\n"), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("fake-t1 and fake-t1 are the same drive"), std::string::npos) << strOut;
}

TEST_F(CliWriteRefusal, ARawImageOfAnotherSizeUnlessForced)
{
    auto pBig = CFakeDisk::WithPattern(SIZE + 512, 3);
    m_devices.Add("fake-big", pBig);
    const std::vector<uint8_t> before = pBig->Contents();
    EXPECT_EQ(Refused({IMAGE, "fake-big"}), "[ERROR] can't write disk fake-big: it holds 2097741 bytes and the image "
                                            "2097229 (--force-write writes the first 2097229).\n");
    EXPECT_EQ(pBig->Contents(), before);

    m_strOut.clear();
    EXPECT_EQ(RunCli({"write", "--yes", "--force-write", IMAGE, "fake-big"}), 0) << m_strOut;
    std::vector<uint8_t> expected = m_pImage->Contents();
    expected.insert(expected.end(), before.end() - 512, before.end());  // the rest stays as it was
    EXPECT_EQ(pBig->Contents(), expected);

    // A smaller drive: only zeros past its end may be left out unforced.
    auto pSmall = CFakeDisk::WithPattern(2 * MIB, 3);
    m_devices.Add("fake-small", pSmall);
    m_strOut.clear();
    m_strErr.clear();
    EXPECT_EQ(Refused({IMAGE, "fake-small"}), "[ERROR] can't write disk fake-small: it holds 2097152 bytes and the "
                                              "image 2097229, with data that are not zero past the drive's end "
                                              "(--force-write writes the first 2097152).\n");
    std::vector<uint8_t> zeroEnd = m_pImage->Contents();
    std::fill(zeroEnd.end() - 77, zeroEnd.end(), 0);
    auto pZeroEnd = std::make_shared<CFakeDisk>(zeroEnd);
    pZeroEnd->SetKind(EDeviceKind::RegularFile);
    m_devices.Add(IMAGE, pZeroEnd);
    m_strOut.clear();  // a larger drive beside it would get only its length: the zeros excuse nothing
    EXPECT_EQ(Refused({IMAGE, "fake-small", T1}), "[ERROR] can't write disk fake-small: it holds 2097152 bytes and "
                                                  "the image 2097229 (--force-write writes the first 2097152).\n");
    EXPECT_EQ(RunCli({"write", "--yes", IMAGE, "fake-small"}), 0) << m_strOut;
    EXPECT_TRUE(std::equal(pSmall->Contents().begin(), pSmall->Contents().end(), zeroEnd.begin()));
}

TEST_F(CliWriteRefusal, ACompressedImageWithoutZlibIsRefusedBeforeAnythingIsOpened)
{
    m_devices.Add("fake.gmz", m_pImage);
    ZlibBinding::SetLibraryNames({"gravelmoor-no-such-zlib"});
    const std::string strOut = Refused({"fake.gmz", T1});
    ZlibBinding::SetLibraryNames({});
    EXPECT_EQ(strOut, "[ERROR] can't open file fake.gmz: a compressed image needs the zlib library, and none was "
                      "found.\n");
    EXPECT_EQ(m_pImage->OpenCount() + m_pT1->OpenCount(), 0u);
}

}  // namespace
