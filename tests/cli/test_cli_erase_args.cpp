// The command lines of erase and methods: the method id in both spellings,
// the drives, and what is a usage error.
#include <gtest/gtest.h>

#include "cli/cli_args.h"

namespace {

T_PARSE_RESULT Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "gravelmoor-cli");
    return ParseCliArgs(args);
}

TEST(CliArgsErase, MethodDiffOnlyYesBufferAndFourDrives)
{
    const T_PARSE_RESULT r = Parse({"erase", "--method", "0x1000", "--diff-only", "-y", "--buffer=32", "a", "b", "c",
                                    "d"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.args.eCommand, ECliCommand::Erase);
    EXPECT_EQ(r.args.nMethod, 4096u);
    EXPECT_TRUE(r.args.bDiffOnly && r.args.bYes);
    EXPECT_EQ(r.args.nBufferMiB, 32u);
    EXPECT_EQ(r.args.arrDrives, (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(Parse({"erase", "--method=85", "a"}).args.nMethod, 85u);
    // Not in the catalogue, yet a method id: the command deals with it.
    EXPECT_EQ(Parse({"erase", "--method", "999", "a"}).args.nMethod, 999u);
    const T_PARSE_RESULT byDefault = Parse({"erase", "a"});
    EXPECT_EQ(byDefault.args.nMethod, 1u);
    EXPECT_FALSE(byDefault.args.bYes || byDefault.args.bDiffOnly);
    EXPECT_EQ(Parse({"methods"}).args.eCommand, ECliCommand::Methods);
}

TEST(CliArgsErase, UsageErrorsSayWhatIsWrong)
{
    const std::pair<std::vector<std::string>, const char*> cases[] = {
        {{"erase"}, "erase needs at least one DRIVE"},
        {{"erase", "a", "b", "c", "d", "e"}, "too many drives: 5 given, erase takes at most 4"},
        {{"erase", "--method", "a"}, "--method needs a method id"},  // the drive taken for the id
        {{"erase", "--method", "-3", "a"}, "--method needs a method id"},
        {{"erase", "--method", "4294967296", "a"}, "--method needs a method id"},
        {{"erase", "a", "--method"}, "--method needs a value"},
        {{"write", "--method", "3", "img", "a"}, "write does not take the option --method"},
        {{"erase", "--verify", "a"}, "erase does not take the option --verify"},
        {{"methods", "extra"}, "methods takes no arguments"},
        {{"methods", "--buffer", "16"}, "methods does not take the option --buffer"},
    };
    for (const auto& [args, pSays] : cases) {
        const T_PARSE_RESULT r = Parse(args);
        EXPECT_FALSE(r.bOk) << ::testing::PrintToString(args);
        EXPECT_NE(r.strError.find(pSays), std::string::npos) << r.strError;
    }
}

TEST(CliArgsErase, HelpShowsBothCommands)
{
    const std::string strUsage = CliUsage();
    for (const char* pWord : {"erase [--method ID]", "methods", "--method ID"})
        EXPECT_NE(strUsage.find(pWord), std::string::npos) << pWord;
    EXPECT_NE(CliUsageLine(ECliCommand::Erase).find("erase [--method ID]"), std::string::npos);
    EXPECT_EQ(CliUsageLine(ECliCommand::Erase).find("write ["), std::string::npos);
}

}  // namespace
