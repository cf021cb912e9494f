// The command line: what each command accepts, where its operands go, and
// what is a usage error and how it says so.
#include <gtest/gtest.h>

#include "cli/cli_args.h"

namespace {

T_PARSE_RESULT Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "gravelmoor-cli");
    return ParseCliArgs(args);
}

using TWords = std::vector<std::string>;

TEST(CliArgs, EachCommandTakesItsOperandsInOrderWithOptionsAnywhere)
{
    T_PARSE_RESULT r = Parse({"read", "--unstable", "--yes", "/dev/sdb", "disk.gmi", "--buffer=64", "--threads", "3"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.args.eCommand, ECliCommand::Read);
    EXPECT_TRUE(r.args.bUnstable && r.args.bYes);
    EXPECT_EQ(r.args.nBufferMiB, 64u);
    EXPECT_EQ(r.args.nThreads, 3u);
    EXPECT_EQ(r.args.arrDrives, TWords{"/dev/sdb"});
    EXPECT_EQ(r.args.strImage, "disk.gmi");

    r = Parse({"write", "-y", "--force-write", "--diff-only", "--verify", "--force-verify", "--eject", "--share-read",
               "--check=SHA256SUMS", "img.gmz", "a", "b", "c", "d"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.args.eCommand, ECliCommand::Write);
    EXPECT_TRUE(r.args.bYes && r.args.bForceWrite && r.args.bDiffOnly && r.args.bVerify && r.args.bForceVerify &&
                r.args.bEject && r.args.bShareRead);
    EXPECT_FALSE(r.args.bMd5Verify || r.args.bMd5Sum || r.args.bUnstable);
    EXPECT_EQ(r.args.strImage, "img.gmz");
    EXPECT_EQ(r.args.strCheckFile, "SHA256SUMS");
    EXPECT_EQ(r.args.arrDrives, (TWords{"a", "b", "c", "d"}));

    EXPECT_EQ(Parse({"verify", "img.dd", "a", "--", "--yes"}).args.arrDrives, (TWords{"a", "--yes"}));

    r = Parse({"erase", "--method", "0x1000", "a", "b"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.args.nMethod, 4096u);
    EXPECT_EQ(Parse({"erase", "--method=999", "a"}).args.nMethod, 999u);  // not in the catalogue: the command says so
    EXPECT_EQ(Parse({"erase", "a"}).args.nMethod, 1u);
    r = Parse({"write", "img", "a"});  // without options nothing is answered, forced or skipped
    EXPECT_FALSE(r.args.bYes || r.args.bForceWrite || r.args.bDiffOnly || r.args.bVerify || r.args.bMd5Verify ||
                 r.args.bForceVerify || r.args.bUnstable || r.args.bEject || r.args.bShareRead);
    EXPECT_EQ(r.args.nBufferMiB + r.args.nThreads, 0u);  // the settings file and the machine decide

    r = Parse({"checksum", "--", "-disk.gmz"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.args.strImage, "-disk.gmz");
    EXPECT_TRUE(r.args.arrDrives.empty());
}

TEST(CliArgs, TheFormatFollowsTheNameUnlessAskedOtherwise)
{
    const std::pair<TWords, EImageFormat> cases[] = {
        {{"read", "d", "x.gmz"}, EImageFormat::Gzip},
        {{"read", "d", "X.GmZ"}, EImageFormat::Gzip},
        {{"read", "d", "x.gz"}, EImageFormat::Gzip},
        {{"read", "d", "x.gmz.dd"}, EImageFormat::Raw},
        {{"read", "--level=19", "d", "x.ZST"}, EImageFormat::Zstd},
        {{"read", "--no-compress", "d", "x.gmz"}, EImageFormat::Raw},
        {{"write", "--compress", "x.dd", "d"}, EImageFormat::Gzip},
        {{"checksum", "--compress", "--no-compress", "x.gmz"}, EImageFormat::Raw},  // the last one counts
    };
    for (const auto& [args, eFormat] : cases) {
        const T_PARSE_RESULT r = Parse(args);
        ASSERT_TRUE(r.bOk) << r.strError;
        EXPECT_EQ(ImageFormatAsked(r.args), eFormat) << ::testing::PrintToString(args);
    }
    EXPECT_EQ(Parse({"read", "--level", "1", "d", "x.zstd"}).args.nLevel, 1u);
}

// (A missing image and a fifth drive: tests/e2e.)
TEST(CliArgs, UsageErrorsSayWhatIsWrong)
{
    const std::pair<TWords, const char*> cases[] = {
        {{}, ""},
        {{"read", "a", "b", "c", "d"}, "too many arguments: \"c\" \"d\""},
        {{"read", "--buffer", "15", "a", "b"}, "--buffer must be between 16 and 65536 MiB"},
        {{"read", "--threads=65", "a", "b"}, "--threads must be between 1 and 64 threads"},
        {{"read", "--level", "0", "a", "b.zst"}, "--level must be between 1 and 19"},
        {{"read", "--level=20", "a", "b.zst"}, "--level must be between 1 and 19"},
        {{"read", "--level", "abc", "a", "b.zst"}, "--level needs a whole number, not \"abc\""},
        {{"read", "--level", "5", "a", "b.gmz"}, "--level is the level of a zstd image (.zst), and b.gmz is made as "
                                                   "a gzip image"},
        {{"read", "--level", "5", "a", "b.gmi"}, "and b.gmi is made as a raw image"},
        {{"read", "--no-compress", "a", "b.zst"}, "--no-compress asks for a raw image, but the name b.zst promises "
                                                   "a zstd one: give one of them"},
        {{"read", "--compress", "a", "b.xz"}, "--compress asks for a gzip image, but the name b.xz promises an xz"},
        {{"write", "--level", "3", "b.zst", "a"}, "write does not take the option --level"},
        {{"write", "--yes", "img"}, "missing DRIVE after the IMAGE img (write takes 1 to 4 drives)"},
        {{"write", "--verify", "--md5-verify", "img", "a"}, "--verify and --md5-verify"},
        {{"write", "--frobnicate", "img", "a"}, "unknown option --frobnicate"},
        {{"erase", "--method", "a"}, "--method needs a method id"},  // the drive taken for the id
        {{"checksum", "a.gmz", "b.gmz"}, "too many arguments: \"b.gmz\" (checksum takes one IMAGE)"},
        {{"list", "/dev/sdb"}, "list takes no arguments, not \"/dev/sdb\""},
        {{"read", "a", ""}, "the IMAGE is an empty word"},
        {{"erase", "", "b"}, "a DRIVE is an empty word"},
        // An option of another command.
        {{"verify", "--yes", "img", "a"}, "verify does not take the option --yes"},
        {{"erase", "--share-read", "a"}, "erase does not take the option --share-read"},
        {{"list", "--yes"}, "list does not take the option --yes"},
        {{"verify", "--check", "sums", "img", "a"}, "verify does not take the option --check"},
        {{"write", "--check=", "img", "a"}, "--check needs a digest file"},
    };
    for (const auto& [args, pSays] : cases) {
        const T_PARSE_RESULT r = Parse(args);
        EXPECT_FALSE(r.bOk) << ::testing::PrintToString(args);
        EXPECT_FALSE(r.strError.empty());
        EXPECT_NE(r.strError.find(pSays), std::string::npos) << r.strError;
    }
}

TEST(CliArgs, HelpAnywhereAndTheSynopsisOfTheCommandAfterAUsageError)
{
    EXPECT_EQ(Parse({"--help"}).args.eCommand, ECliCommand::Help);
    EXPECT_EQ(Parse({"write", "img", "--help"}).args.eCommand, ECliCommand::Help);
    EXPECT_EQ(Parse({"verify", "-h"}).args.eCommand, ECliCommand::Help);
    EXPECT_NE(CliUsageLine(ECliCommand::Erase).find("erase [--method ID]"), std::string::npos);
    EXPECT_EQ(CliUsage().find(CliUsageLine()), 0u);  // the help opens with every command's synopsis
}

}  // namespace
