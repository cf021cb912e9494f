// The command lines of write and verify: their options, their operands
// (an image, then 1 to 4 drives), and what is a usage error.
#include <gtest/gtest.h>

#include "cli/cli_args.h"

namespace {

T_PARSE_RESULT Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "gravelmoor-cli");
    return ParseCliArgs(args);
}

using TDrives = std::vector<std::string>;

TEST(CliArgsWrite, EveryOptionAndFourDrives)
{
    const T_PARSE_RESULT r = Parse({"write", "-y", "--force-write", "--diff-only", "--verify", "--force-verify",
                                    "--no-compress", "--unstable", "--buffer=32", "img.gmz", "/dev/sdb", "/dev/sdc",
                                    "/dev/sdd", "/dev/sde"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.args.eCommand, ECliCommand::Write);
    EXPECT_TRUE(r.args.bYes && r.args.bForceWrite && r.args.bDiffOnly && r.args.bVerify && r.args.bForceVerify &&
                r.args.bUnstable);
    EXPECT_FALSE(r.args.bMd5Verify);
    EXPECT_FALSE(WantsCompression(r.args));
    EXPECT_EQ(r.args.nBufferMiB, 32u);
    EXPECT_EQ(r.args.strImage, "img.gmz");
    EXPECT_EQ(r.args.arrDrives, (TDrives{"/dev/sdb", "/dev/sdc", "/dev/sdd", "/dev/sde"}));
}

TEST(CliArgsWrite, DefaultsAskAndCheckNothingExtra)
{
    const T_PARSE_RESULT r = Parse({"write", "img.GMZ", "/dev/sdb"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_FALSE(r.args.bYes || r.args.bForceWrite || r.args.bDiffOnly || r.args.bVerify || r.args.bMd5Verify ||
                 r.args.bForceVerify || r.args.bUnstable);
    EXPECT_TRUE(WantsCompression(r.args));  // by the name
    EXPECT_EQ(r.args.arrDrives, TDrives{"/dev/sdb"});
}

TEST(CliArgsVerify, ImageThenDrives)
{
    const T_PARSE_RESULT r = Parse({"verify", "--force-verify", "--compress", "img.dd", "a", "--", "-b"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.args.eCommand, ECliCommand::Verify);
    EXPECT_TRUE(r.args.bForceVerify);
    EXPECT_TRUE(WantsCompression(r.args));
    EXPECT_EQ(r.args.strImage, "img.dd");
    EXPECT_EQ(r.args.arrDrives, (TDrives{"a", "-b"}));
}

struct T_USAGE_CASE {
    std::vector<std::string> args;
    const char* pSays;  // a part of the message
};

TEST(CliArgsChecksum, OneImageCompressedByNameOrOption)
{
    T_PARSE_RESULT r = Parse({"checksum", "disk.Gmz"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.args.eCommand, ECliCommand::Checksum);
    EXPECT_EQ(r.args.strImage, "disk.Gmz");
    EXPECT_TRUE(r.args.arrDrives.empty());
    EXPECT_TRUE(WantsCompression(r.args));
    r = Parse({"checksum", "--no-compress", "--", "-disk.gmz"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.args.strImage, "-disk.gmz");
    EXPECT_FALSE(WantsCompression(r.args));
    EXPECT_TRUE(WantsCompression(Parse({"checksum", "--compress", "disk.dd"}).args));
}

TEST(CliArgsJobs, UsageErrorsSayWhatIsWrong)
{
    const T_USAGE_CASE cases[] = {
        {{"write"}, "write needs an IMAGE and at least one DRIVE: both are missing"},
        {{"write", "--yes", "img"}, "missing DRIVE after the IMAGE img (write takes 1 to 4 drives)"},
        {{"write", "img", "a", "b", "c", "d", "e"}, "too many drives: 5 given, write takes at most 4"},
        {{"verify", "img"}, "missing DRIVE after the IMAGE img (verify takes 1 to 4 drives)"},
        {{"verify", "img", "a", "b", "c", "d", "e", "f"}, "too many drives: 6 given, verify takes at most 4"},
        {{"write", "--verify", "--md5-verify", "img", "a"}, "--verify and --md5-verify"},
        {{"verify", "--yes", "img", "a"}, "verify does not take the option --yes"},
        {{"verify", "--diff-only", "img", "a"}, "verify does not take the option --diff-only"},
        {{"read", "--md5-verify", "a", "b"}, "read does not take the option --md5-verify"},
        {{"read", "--force-write", "a", "b"}, "read does not take the option --force-write"},
        {{"write", "--frobnicate", "img", "a"}, "unknown option --frobnicate"},
        {{"write", "--buffer", "8", "img", "a"}, "--buffer must be between 16 and 65536 MiB"},
        {{"checksum"}, "checksum needs an IMAGE: it is missing"},
        {{"checksum", "a.gmz", "b.gmz"}, "too many arguments: \"b.gmz\" (checksum takes one IMAGE)"},
        {{"checksum", "--buffer=32", "a.gmz"}, "checksum does not take the option --buffer"},
        {{"checksum", "--yes", "a.gmz"}, "checksum does not take the option --yes"},
        {{"read", "--threads", "0", "a", "b"}, "--threads must be between 1 and 64 threads"},
        {{"read", "--threads=65", "a", "b"}, "--threads must be between 1 and 64 threads"},
        {{"read", "--threads", "all", "a", "b"}, "--threads needs a whole number of threads, not \"all\""},
        {{"read", "a", "b", "--threads"}, "--threads needs a value"},
        {{"write", "--threads", "2", "img", "a"}, "write does not take the option --threads"},
        {{"read", "a", ""}, "the IMAGE is an empty word"},
        {{"checksum", ""}, "the IMAGE is an empty word"},
        {{"verify", "img", "a", ""}, "a DRIVE is an empty word"},
        {{"erase", "", "b"}, "a DRIVE is an empty word"},
    };
    for (const T_USAGE_CASE& c : cases) {
        const T_PARSE_RESULT r = Parse(c.args);
        EXPECT_FALSE(r.bOk) << ::testing::PrintToString(c.args);
        EXPECT_NE(r.strError.find(c.pSays), std::string::npos) << r.strError;
    }
}

TEST(CliArgsJobs, HelpNamesEveryCommandAndOption)
{
    EXPECT_EQ(Parse({"write", "img", "--help"}).args.eCommand, ECliCommand::Help);
    EXPECT_EQ(Parse({"verify", "-h"}).args.eCommand, ECliCommand::Help);
    const std::string strUsage = CliUsage();
    for (const char* pWord : {"read", "write", "verify", "checksum [--compress | --no-compress] IMAGE", "--yes", "--force-write", "--diff-only", "--verify",
                              "--md5-verify", "--force-verify", "--compress", "--no-compress", "--unstable",
                              "--buffer", "--threads", "--help", "IMAGE DRIVE...", "OK or NG"}) {
        EXPECT_NE(strUsage.find(pWord), std::string::npos) << pWord;
    }
    EXPECT_NE(CliUsageLine(ECliCommand::Write).find("write [--yes]"), std::string::npos);
    EXPECT_EQ(CliUsageLine(ECliCommand::Write).find("verify ["), std::string::npos);
}

}  // namespace
