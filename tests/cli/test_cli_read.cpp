// The read command's guards: the image target, the block count, answers.
#include <gtest/gtest.h>

#include "cli/cli_prompt.h"
#include "cli/cli_read.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(CliRead, ImageTargetGuards)
{
    CTempDir dir;
    const std::string strDrive = dir.File("drive.bin");
    WriteWholeFile(strDrive, {1, 2, 3});
    EXPECT_EQ(CheckImageTarget(strDrive, dir.File("new.gmi")), "");
    WriteWholeFile(dir.File("old.gmi"), {9});
    EXPECT_EQ(CheckImageTarget(strDrive, dir.File("old.gmi")), "");  // asked about later
    EXPECT_NE(CheckImageTarget(strDrive, strDrive), "");
    EXPECT_NE(CheckImageTarget(strDrive, (dir.Path() / "." / "drive.bin").string()), "");
    EXPECT_NE(CheckImageTarget(strDrive, dir.Path().string()), "");  // a folder
}

TEST(CliRead, BlockCountStaysWithinMemory)
{
    EXPECT_EQ(ChooseBlockCount(16, 0), 16u);
    EXPECT_EQ(ChooseBlockCount(256, 1000), 256u);
    EXPECT_EQ(ChooseBlockCount(4096, 1000), 750u);  // 75% of what is available
    EXPECT_EQ(ChooseBlockCount(4096, 10), 16u);     // never below 16 blocks
}

TEST(CliRead, OnlyYesIsYes)
{
    for (const char* p : {"y", "Y", "yes", "YES", " yes "}) EXPECT_TRUE(IsYesAnswer(p)) << p;
    for (const char* p : {"", "n", "no", "yess", "ye s x", "1"}) EXPECT_FALSE(IsYesAnswer(p)) << p;
}

TEST(CliRead, PromptWithYesAnswersYesWithoutATerminal)
{
    CNotifyQueue queue;
    CCliPrompt prompt(queue);
    bool bAnswer = false;
    std::thread asker([&] { bAnswer = prompt.AskYesNo(nullptr, "上書きしますか？", "Gravelmoor"); });
    T_NOTIFY_MSG msg;
    while (!queue.Wait(msg, std::chrono::milliseconds(100))) {}
    ASSERT_EQ(msg.uMsg, WM_CLI_PROMPT);
    auto* pRequest = reinterpret_cast<T_PROMPT_REQUEST*>(msg.lParam);
    EXPECT_EQ(pRequest->strText, "上書きしますか？");
    AnswerPrompt(*pRequest, true);
    asker.join();
    delete pRequest;
    EXPECT_TRUE(bAnswer);
}

}  // namespace

namespace {

TEST(CliRead, ImageGuardsReadUtf8Paths)
{
    CTempDir dir;
    const std::string strDrive = dir.File("ドライブ.bin");
    WriteWholeFile(strDrive, {1, 2, 3});
    EXPECT_EQ(ReadWholeFile(strDrive), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_NE(CheckImageTarget(strDrive, strDrive), "");
    EXPECT_EQ(CheckImageTarget(strDrive, dir.File("イメージ.gmi")), "");
}

}  // namespace
