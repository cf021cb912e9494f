// The question an engine asks during a job (whether to replace an existing
// image), asked and answered across the job's queue: how each answer is
// shown, and that a stop or a missing terminal answers No.
#include <gtest/gtest.h>

#include <thread>

#include "cli/cli_prompt.h"

namespace {

TEST(CliPrompt, OnlyYesTypedIsYes)
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

TEST(CliPrompt, TheQuestionNamesTheFileAndShowsWhyItWasAnswered)
{
    std::string strShown;
    EXPECT_TRUE(AskAndAnswer(EPromptRule::Yes, T_CONSOLE_IO{}, strShown));
    EXPECT_EQ(strShown, "disk.gmi already exists. 上書きしますか？ [y/N] y (--yes)\n");
    // (No terminal to ask on: tests/e2e/test_read_file.sh.)

    T_CONSOLE_IO terminal;
    terminal.bCanAsk = true;
    int nReads = 0;
    terminal.readLine = [&](std::string& strLine) {
        ++nReads;
        strLine.assign(1, 'y');  // (not = "y": a false -Wrestrict of GCC 12 at -O3)
        return true;
    };
    strShown.clear();
    EXPECT_TRUE(AskAndAnswer(EPromptRule::Ask, terminal, strShown));
    EXPECT_EQ(strShown, "disk.gmi already exists. 上書きしますか？ [y/N] ");
    // A stop before the question, even with a terminal: nobody is asked.
    strShown.clear();
    EXPECT_FALSE(AskAndAnswer(EPromptRule::Stopped, terminal, strShown));
    EXPECT_EQ(strShown, "disk.gmi already exists. 上書きしますか？ [y/N] N (stopped)\n");
    EXPECT_EQ(nReads, 1);
    // The end of input while asking (or a stop that ends the read): No.
    terminal.readLine = [](std::string&) { return false; };
    strShown.clear();
    EXPECT_FALSE(AskAndAnswer(EPromptRule::Ask, terminal, strShown));
    EXPECT_EQ(strShown, "disk.gmi already exists. 上書きしますか？ [y/N] N\n");
}

}  // namespace
