// The built program's write confirmation on a real (pseudo-)terminal: the
// drives are listed with their sizes, and a typed Yes writes.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/cli/posix/cli_process.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;

constexpr auto START_TIMEOUT = 20s;  // generous: sanitizer builds start slowly
constexpr auto RUN_TIMEOUT = 60s;

class CliWriteProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::vector<uint8_t> image(1024 * 1024 + 5);
        for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + (i >> 9));
        WriteWholeFile(Image(), image);
        WriteWholeFile(Drive(), std::vector<uint8_t>(image.size(), 0xEE));
    }
    std::string Image() const { return m_dir.File("image.gmi"); }
    std::string Drive() const { return m_dir.File("drive.bin"); }

    // Starts "write IMAGE DRIVE" on a terminal and waits for the question.
    CCliProcess& StartAndWaitForTheQuestion()
    {
        T_CLI_START start;
        start.args = {"write", Image(), Drive()};
        start.bTerminal = true;
        m_pCli = std::make_unique<CCliProcess>(start);
        EXPECT_TRUE(m_pCli->WaitForOutput("実行しますか？ [y/N] ", START_TIMEOUT)) << m_pCli->Out();
        return *m_pCli;
    }

    CTempDir m_dir;
    std::unique_ptr<CCliProcess> m_pCli;
};

TEST_F(CliWriteProcess, ListsTheDrivesAndWritesAfterATypedYes)
{
    CCliProcess& cli = StartAndWaitForTheQuestion();
    EXPECT_NE(cli.Out().find("下記のドライブにイメージを書き込みます。\r\n" + Drive() + " (1048581)\r\n"),
              std::string::npos)
        << cli.Out();
    cli.Type("yes\n");
    EXPECT_EQ(cli.Wait(RUN_TIMEOUT), 0) << cli.Out();
    EXPECT_EQ(ReadWholeFile(Drive()), ReadWholeFile(Image()));
    EXPECT_NE(cli.Out().find(Drive() + " - DISK WRITE=OK"), std::string::npos) << cli.Out();
}

}  // namespace
