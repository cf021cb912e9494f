// The block memory a job asks for: --buffer over the settings file's
// "Buffer" (whose warnings are logged only when it is used), lowered to 75%
// of the available memory and never below 16 MiB.
#include <gtest/gtest.h>

#include "cli/cli_buffer.h"
#include "tests/support/recorder.h"

namespace {

T_CLI_ARGS Args(std::vector<std::string> words)
{
    words.insert(words.begin(), "gravelmoor-cli");
    return ParseCliArgs(words).args;
}

TEST(CliBuffer, AGivenBufferWinsOverTheSettingAndItsWarnings)
{
    T_CLI_ENV env;
    env.nDefaultBufferMiB = 256;
    env.arrSettingsWarnings = {"the settings file x.ini: the keys ...\n"};
    CRecorder log;
    CLogCapture capture(log);
    EXPECT_EQ(AskedBufferMiB(Args({"erase", "--buffer", "48", "disk:1"}), env), 48u);
    EXPECT_EQ(log.LogText(), "");  // the setting is not used, so nothing is said about it
    EXPECT_EQ(AskedBufferMiB(Args({"erase", "disk:1"}), env), 256u);
    EXPECT_EQ(log.LogText(), env.arrSettingsWarnings[0]);
}

TEST(CliBuffer, TheBlockCountStaysWithinTheAvailableMemory)
{
    EXPECT_EQ(ChooseBlockCount(16, 0), 16u);        // not known: as asked
    EXPECT_EQ(ChooseBlockCount(256, 1000), 256u);
    EXPECT_EQ(ChooseBlockCount(4096, 1000), 750u);  // 75% of what is available
    EXPECT_EQ(ChooseBlockCount(4096, 10), 16u);     // never below 16 blocks
    CRecorder log;
    CLogCapture capture(log);
    EXPECT_EQ(JobBlockCount(64, 40), 30u);
    EXPECT_EQ(log.LogText(), "a buffer of 64 MiB is more than 75% of the available memory (40 MiB): lowered to "
                             "30 MiB.\n");
    log.Clear();
    EXPECT_EQ(JobBlockCount(16, 10), 16u);  // the least every job has: nothing to say
    EXPECT_EQ(log.LogText(), "");
}

}  // namespace
