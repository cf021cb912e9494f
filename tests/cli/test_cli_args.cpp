// The command line: what is accepted, and what is a usage error.
#include <gtest/gtest.h>

#include "cli/cli_args.h"

namespace {

T_PARSE_RESULT Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "gravelmoor-cli");
    return ParseCliArgs(args);
}

TEST(CliArgs, ReadWithEveryOption)
{
    const T_PARSE_RESULT r = Parse({"read", "--unstable", "--yes", "--buffer", "64", "/dev/sdb", "disk.gmi"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.args.eCommand, ECliCommand::Read);
    EXPECT_TRUE(r.args.bUnstable);
    EXPECT_TRUE(r.args.bYes);
    EXPECT_EQ(r.args.nBufferMiB, 64u);
    EXPECT_EQ(r.args.arrDrives, (std::vector<std::string>{"/dev/sdb"}));
    EXPECT_EQ(r.args.strImage, "disk.gmi");
}

TEST(CliArgs, DefaultsAreSafe)
{
    const T_PARSE_RESULT r = Parse({"read", "a", "b"});
    ASSERT_TRUE(r.bOk);
    EXPECT_FALSE(r.args.bYes);
    EXPECT_FALSE(r.args.bUnstable);
    EXPECT_FALSE(r.args.bEject);
    EXPECT_FALSE(r.args.bShareRead);
    EXPECT_FALSE(r.args.bMd5Sum);
    EXPECT_FALSE(r.args.bVerify);
    EXPECT_EQ(r.args.nBufferMiB, 0u);  // not given: the settings file decides
}

TEST(CliArgs, OptionsMayFollowOperandsAndDoubleDashEndsThem)
{
    T_PARSE_RESULT r = Parse({"read", "a", "b", "--buffer=32"});
    ASSERT_TRUE(r.bOk);
    EXPECT_EQ(r.args.nBufferMiB, 32u);
    r = Parse({"read", "--", "-odd-drive", "--yes"});
    ASSERT_TRUE(r.bOk);
    EXPECT_EQ(r.args.arrDrives, (std::vector<std::string>{"-odd-drive"}));
    EXPECT_EQ(r.args.strImage, "--yes");
    EXPECT_FALSE(r.args.bYes);
}

TEST(CliArgs, UsageErrors)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {},
             {"copy", "a", "b"},
             {"read"},
             {"read", "a"},
             {"read", "a", "b", "c"},
             {"read", "--buffer"},
             {"read", "--buffer", "lots", "a", "b"},
             {"read", "--buffer", "15", "a", "b"},
             {"read", "--buffer", "16x", "a", "b"},
             {"read", "--buffer", "-1", "a", "b"},
             {"read", "--buffer", "99999999999999999999", "a", "b"},
             {"read", "--force", "a", "b"},
         }) {
        const T_PARSE_RESULT r = Parse(args);
        EXPECT_FALSE(r.bOk) << ::testing::PrintToString(args);
        EXPECT_FALSE(r.strError.empty());
    }
}

TEST(CliArgs, OperandErrorsSayWhatIsWrong)
{
    const std::string strExtra = Parse({"read", "a", "b", "c", "d"}).strError;
    EXPECT_NE(strExtra.find("too many arguments"), std::string::npos) << strExtra;
    EXPECT_NE(strExtra.find("\"c\" \"d\""), std::string::npos) << strExtra;
    const std::string strNoImage = Parse({"read", "/dev/sdb"}).strError;
    EXPECT_NE(strNoImage.find("missing IMAGE"), std::string::npos) << strNoImage;
    EXPECT_NE(strNoImage.find("/dev/sdb"), std::string::npos) << strNoImage;
    const std::string strNothing = Parse({"read", "--yes"}).strError;
    EXPECT_NE(strNothing.find("DRIVE and an IMAGE"), std::string::npos) << strNothing;
}

TEST(CliArgs, BufferLimitsAreInclusive)
{
    EXPECT_EQ(Parse({"read", "--buffer", "16", "a", "b"}).args.nBufferMiB, 16u);
    EXPECT_EQ(Parse({"read", "--buffer=65536", "a", "b"}).args.nBufferMiB, 65536u);
    EXPECT_FALSE(Parse({"read", "--buffer", "65537", "a", "b"}).bOk);
    EXPECT_FALSE(Parse({"read", "--buffer=15", "a", "b"}).bOk);
}

TEST(CliArgs, ThreadsOfTheReadFromOneTo64DefaultTheMachines)
{
    EXPECT_EQ(Parse({"read", "a", "b"}).args.nThreads, 0u);
    EXPECT_EQ(Parse({"read", "--threads", "1", "a", "b"}).args.nThreads, 1u);
    EXPECT_EQ(Parse({"read", "a", "b", "--threads=64"}).args.nThreads, 64u);
}

TEST(CliArgs, HelpAnywhere)
{
    EXPECT_EQ(Parse({"--help"}).args.eCommand, ECliCommand::Help);
    EXPECT_EQ(Parse({"read", "--help"}).args.eCommand, ECliCommand::Help);
    const std::string strUsage = CliUsage();
    for (const char* pOption : {"--unstable", "--yes", "--buffer", "--help", "DRIVE", "IMAGE"}) {
        EXPECT_NE(strUsage.find(pOption), std::string::npos) << pOption;
    }
}

}  // namespace

namespace {

TEST(CliArgs, CompressionFollowsTheNameUnlessAskedOtherwise)
{
    const struct {
        std::vector<std::string> args;
        bool bCompress;
    } cases[] = {
        {{"read", "d", "x.gmz"}, true},
        {{"read", "d", "X.GmZ"}, true},
        {{"read", "d", "x.gmi"}, false},
        {{"read", "d", "gmz"}, false},
        {{"read", "d", "x.gmz.dd"}, false},
        {{"read", "--no-compress", "d", "x.gmz"}, false},
        {{"read", "--compress", "d", "x.dd"}, true},
        {{"read", "--compress", "--no-compress", "d", "x.gmz"}, false},  // the last one counts
    };
    for (const auto& c : cases) {
        const T_PARSE_RESULT r = Parse(c.args);
        ASSERT_TRUE(r.bOk) << r.strError;
        EXPECT_EQ(WantsCompression(r.args), c.bCompress) << c.args.back();
    }
}

}  // namespace
