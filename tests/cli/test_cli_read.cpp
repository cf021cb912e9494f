// The read command's guards: the image target, the block count, answers.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

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

// A device named as both drive and image is refused as the drive itself,
// not only as "not a regular file".
TEST(CliRead, SameDeviceNodeIsTheDriveItself)
{
    if (!std::filesystem::exists("/dev/null")) GTEST_SKIP() << "no /dev/null here";
    EXPECT_EQ(CheckImageTarget("/dev/null", "/dev/null"), "the image /dev/null is the drive itself.");
    EXPECT_EQ(CheckImageTarget("/dev/zero", "/dev/null"), "the image /dev/null exists and is not a regular file.");
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

// Asks the overwrite question as the engine does and answers it on this
// thread as the main thread does; returns the answer, and what was shown.
bool AskAndAnswer(EPromptRule eRule, T_CONSOLE_IO io, std::string& strShown)
{
    io.write = [&strShown](EStream eStream, std::string_view s) {
        EXPECT_EQ(eStream, EStream::Error);
        strShown += s;
        return 0u;
    };
    CNotifyQueue queue;
    CCliPrompt prompt(queue);
    bool bAnswer = false;
    std::thread asker([&] { bAnswer = prompt.AskYesNo(nullptr, PROMPT_OVERWRITE, PROMPT_CAPTION); });
    T_NOTIFY_MSG msg;
    while (!queue.Wait(msg, std::chrono::milliseconds(100))) {}
    EXPECT_EQ(msg.uMsg, WM_CLI_PROMPT);
    auto* pRequest = reinterpret_cast<T_PROMPT_REQUEST*>(msg.lParam);
    AnswerPrompt(*pRequest, "disk.gmi already exists.", eRule, io);
    asker.join();
    delete pRequest;
    return bAnswer;
}

TEST(CliPrompt, QuestionNamesTheFileAndShowsWhyItWasAnswered)
{
    std::string strShown;
    EXPECT_TRUE(AskAndAnswer(EPromptRule::Yes, T_CONSOLE_IO{}, strShown));
    EXPECT_EQ(strShown, "disk.gmi already exists. 上書きしますか？ [y/N] y (--yes)\n");
    strShown.clear();
    EXPECT_FALSE(AskAndAnswer(EPromptRule::Ask, T_CONSOLE_IO{}, strShown));  // no terminal to ask on
    EXPECT_EQ(strShown, "disk.gmi already exists. 上書きしますか？ [y/N] N (no terminal to ask; --yes answers Yes)\n");
}

// A stop before the question, even with --yes: nobody is asked, the answer
// is No.
TEST(CliPrompt, StopRequestAnswersNo)
{
    T_CONSOLE_IO io;
    io.bCanAsk = true;
    int nReads = 0;
    io.readLine = [&](std::string& strLine) {
        ++nReads;
        strLine.assign(1, 'y');  // (not = "y": a false -Wrestrict of GCC 12 at -O3)
        return true;
    };
    std::string strShown;
    EXPECT_FALSE(AskAndAnswer(EPromptRule::Stopped, io, strShown));
    EXPECT_EQ(strShown, "disk.gmi already exists. 上書きしますか？ [y/N] N (stopped)\n");
    EXPECT_EQ(nReads, 0);
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
