// The options around the drives: --eject, --share-read, --md5sum, --verify
// on a read, and the buffer that comes from the settings file when
// --buffer is not given.
#include <gtest/gtest.h>

#include "cli/cli_args.h"
#include "cli/cli_buffer.h"
#include "cli/cli_job.h"
#include "drives/settings_keys.h"
#include "tests/support/recorder.h"
#include "tests/support/temp_dir.h"

namespace {

T_PARSE_RESULT Parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "gravelmoor-cli");
    return ParseCliArgs(args);
}

TEST(CliArgsDrives, EachNewOptionBelongsToItsCommands)
{
    const struct {
        const char* pOption;
        std::vector<std::string> arrTaking;
        std::vector<std::string> arrRefusing;
    } cases[] = {
        {"--eject", {"read", "write", "verify", "erase"}, {"checksum", "methods", "list"}},
        {"--share-read", {"read", "write", "verify"}, {"erase", "checksum", "list"}},
        {"--md5sum", {"read"}, {"write", "verify", "erase", "checksum"}},
        {"--verify", {"read", "write"}, {"verify", "erase", "checksum"}},
    };
    const auto withOperands = [](const std::string& strCommand, const char* pOption) {
        std::vector<std::string> args = {strCommand, pOption};
        if (strCommand == "read") args.insert(args.end(), {"disk:1", "x.gmi"});
        if (strCommand == "write" || strCommand == "verify") args.insert(args.end(), {"x.gmi", "disk:1"});
        if (strCommand == "erase") args.push_back("disk:1");
        if (strCommand == "checksum") args.push_back("x.gmi");
        return args;
    };
    for (const auto& c : cases) {
        for (const std::string& strCommand : c.arrTaking) {
            const T_PARSE_RESULT r = Parse(withOperands(strCommand, c.pOption));
            EXPECT_TRUE(r.bOk) << strCommand << " " << c.pOption << ": " << r.strError;
        }
        for (const std::string& strCommand : c.arrRefusing) {
            const T_PARSE_RESULT r = Parse(withOperands(strCommand, c.pOption));
            EXPECT_FALSE(r.bOk) << strCommand << " " << c.pOption;
            EXPECT_EQ(r.strError, strCommand + " does not take the option " + c.pOption);
        }
    }
}

TEST(CliArgsDrives, EachOptionSetsOnlyItsOwnFlag)
{
    T_PARSE_RESULT r = Parse({"read", "--md5sum", "--verify", "disk:0", "x.gmz"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_TRUE(r.args.bMd5Sum);
    EXPECT_TRUE(r.args.bVerify);
    EXPECT_FALSE(r.args.bEject);
    EXPECT_FALSE(r.args.bShareRead);
    EXPECT_EQ(r.args.arrDrives, (std::vector<std::string>{"disk:0"}));
    r = Parse({"write", "--eject", "--share-read", "x.gmi", "disk:1", "cdrom:0"});
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_TRUE(r.args.bEject);
    EXPECT_TRUE(r.args.bShareRead);
    EXPECT_FALSE(r.args.bMd5Sum);
    EXPECT_FALSE(r.args.bVerify);
    EXPECT_EQ(r.args.arrDrives, (std::vector<std::string>{"disk:1", "cdrom:0"}));
}

class BufferSettingTest : public ::testing::Test {
protected:
    uint32_t WithSetting(const char* pValue)
    {
        const std::string strPath = m_dir.File("gravelmoor.ini");
        EXPECT_TRUE(m_pStore->WriteString(strPath, SETTINGS_SECTION, SettingsKey::Buffer, pValue));
        return DefaultBufferMiB(*m_pStore, strPath);
    }

    CTempDir m_dir;
    std::unique_ptr<IProfileStore> m_pStore = CreateProfileStore();
};

TEST_F(BufferSettingTest, TheSettingCountsWhenGivenAndSixteenIsTheFloor)
{
    EXPECT_EQ(DefaultBufferMiB(*m_pStore, m_dir.File("missing.ini")), 16u);
    EXPECT_EQ(WithSetting("256"), 256u);
    EXPECT_EQ(WithSetting("4096"), 4096u);
    EXPECT_EQ(WithSetting("8"), 16u);
    EXPECT_EQ(WithSetting(""), 16u);
    EXPECT_EQ(WithSetting("lots"), 16u);
    EXPECT_EQ(WithSetting("99999999999999999999"), 16u);  // more than --buffer takes: the default
}

TEST_F(BufferSettingTest, AGivenBufferWinsOverTheSetting)
{
    T_CLI_ENV env;
    env.nDefaultBufferMiB = 256;
    env.arrSettingsWarnings = {"the settings file x.ini: the keys ...\n"};
    CRecorder log;
    CLogCapture capture(log);
    EXPECT_EQ(AskedBufferMiB(Parse({"erase", "--buffer", "48", "disk:1"}).args, env), 48u);
    EXPECT_EQ(log.LogText(), "");  // the setting is not used, so nothing is said about it
    EXPECT_EQ(AskedBufferMiB(Parse({"erase", "disk:1"}).args, env), 256u);
    EXPECT_EQ(log.LogText(), env.arrSettingsWarnings[0]);
}

}  // namespace
