// The platform's settings store (our INI file on POSIX, the private-profile
// functions on Windows) against one set of files: both must read them
// alike, keep what they do not know, and round-trip what they write; how
// values read as numbers; and where the settings file is looked for.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "drives/profile_store.h"
#include "drives/settings_path.h"
#include "tests/support/temp_dir.h"

namespace {

class ProfileStore : public ::testing::Test {
protected:
    void WriteFile(const std::string& strText) { WriteWholeFile(m_strPath, {strText.begin(), strText.end()}); }
    std::string Get(std::string_view strKey, std::string_view strSection = "Gravelmoor", size_t nMax = 255)
    {
        return m_pStore->GetString(m_strPath, strSection, strKey, "(default)", nMax);
    }
    int32_t GetInt(std::string_view strKey) { return m_pStore->GetInt(m_strPath, "Gravelmoor", strKey, 99); }

    CTempDir m_dir;
    std::string m_strPath = m_dir.File("gravelmoor.ini");
    std::unique_ptr<IProfileStore> m_pStore = CreateProfileStore();
};

}  // namespace

TEST_F(ProfileStore, ReadingFollowsTheRulesOfThePrivateProfileFunctions)
{
    EXPECT_EQ(Get("Buffer") + std::to_string(GetInt("Buffer")), "(default)99");  // no file
    WriteFile("; comment\r\n"
              "Buffer=1\r\n"  // before any section: in none
              "[Other]\r\nNoScanDriveLetters=X\r\n"
              "  [gravelMOOR]\r\n"
              "  buffer  =  \t 32 \r\n"
              "NoScanDriveLetters=\"ab \"\r\n"
              "HideDriveLetters='CD'\r\n"
              "LockDriveLetters=\"E'\r\n"
              "Empty=\r\n"
              "Quotes=\"\"\r\n"
              "Buffer=48\r\n"  // the first of a key counts
              "[Gravelmoor]\r\n"
              "ShowCDROM=1\r\n");  // and the first section of a name
    EXPECT_EQ(Get("BUFFER"), "32");
    EXPECT_EQ(Get("Buffer", "gravelmoor", 1), "3");
    EXPECT_EQ(Get("NoScanDriveLetters"), "ab ");  // the quotes go, what they hold stays
    EXPECT_EQ(Get("HideDriveLetters"), "CD");
    EXPECT_EQ(Get("LockDriveLetters"), "\"E'");
    EXPECT_EQ(Get("Empty"), "");
    EXPECT_EQ(Get("ShowCDROM") + Get("Missing") + Get("Buffer", "None"), "(default)(default)(default)");
    EXPECT_EQ(GetInt("Buffer") + GetInt("Empty") + GetInt("Quotes") + GetInt("ShowCDROM"), 32 + 99 + 99 + 99);
}

TEST_F(ProfileStore, IntegersReadAsTheParserReadsThem)
{
    for (const char* pText : {"12abc", "-5", "--5", "0x1F", "0o17", "0b101", "0X10", "4294967312", "-0x10"}) {
        ASSERT_TRUE(m_pStore->WriteString(m_strPath, "Gravelmoor", "Value", pText));
        EXPECT_EQ(GetInt("Value"), ParseProfileInt(pText)) << pText;
    }
}

TEST(ProfileInt, LeadingDigitsSignAndBaseDecideAndOnlyTheIntegerWrapsAt32Bits)
{
    const std::pair<const char*, int32_t> cases[] = {
        {" \t 42", 42}, {"\x01\x1F" "9", 9}, {"32MiB", 32}, {"", 0}, {"MiB32", 0}, {"-5", -5}, {"+7", 7},
        {"--5", 0}, {"- 5", 0}, {"0x1F", 31}, {"-0x10", -16}, {"0X10", 0}, {"0o8", 0}, {"0b101", 5}, {"09", 9},
        {"2147483648", INT32_MIN}, {"4294967295", -1}, {"4294967312", 16}, {"99999999999", 1215752191},
    };
    for (const auto& [pText, nExpected] : cases) EXPECT_EQ(ParseProfileInt(pText), nExpected) << '"' << pText << '"';
    EXPECT_EQ(ParseProfileNumber(" 4294967312MiB"), 4294967312);
    EXPECT_EQ(ParseProfileNumber("99999999999999999999"), INT64_MAX);
    EXPECT_EQ(ParseProfileNumber("-99999999999999999999"), INT64_MIN);
}

TEST_F(ProfileStore, WritesCreateTheFileRoundTripAndKeepEveryOtherLine)
{
    ASSERT_TRUE(m_pStore->WriteString(m_strPath, "Gravelmoor", "ShowFLOPPY", "1"));
    EXPECT_EQ(GetInt("ShowFLOPPY"), 1);
    WriteFile("[Other]\nKeep=this\n; a comment\n[Gravelmoor]\nUnknownKey=stays\nBuffer=8\n");
    using T_WRITE = std::tuple<const char*, const char*, const char*>;
    for (const auto& [pSection, pKey, pValue] : {T_WRITE{"Gravelmoor", "Buffer", "4096"},
                                                 T_WRITE{"Gravelmoor", "NoScanDriveLetters", "ab1"},
                                                 T_WRITE{"NewSection", "Key", "value"},
                                                 T_WRITE{"Gravelmoor", "HideDriveLetters", ""}}) {
        ASSERT_TRUE(m_pStore->WriteString(m_strPath, pSection, pKey, pValue));
        EXPECT_EQ(Get(pKey, pSection), pValue);
    }
    EXPECT_EQ(Get("Buffer") + Get("UnknownKey") + Get("Keep", "Other"), "4096staysthis");
    const std::vector<uint8_t> bytes = ReadWholeFile(m_strPath);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("; a comment"), std::string::npos);
}

TEST_F(ProfileStore, AnEmptyPathNamesNoFile)
{
    EXPECT_EQ(m_pStore->GetString("", "Gravelmoor", "Buffer", "16", 255), "16");
    EXPECT_EQ(m_pStore->GetInt("", "Gravelmoor", "Buffer", 16), 16);
    EXPECT_FALSE(m_pStore->WriteString("", "Gravelmoor", "Buffer", "32"));
}

TEST(SettingsPath, BesideTheModuleOrInTheConfigurationFolder)
{
    EXPECT_EQ(SettingsPathBesideModule("C:\\Tools\\ドライブ\\g.exe"), "C:\\Tools\\ドライブ\\gravelmoor.ini");
    EXPECT_EQ(SettingsPathBesideModule("\\g.exe"), "\\g.exe\\gravelmoor.ini");  // its only backslash comes first
    EXPECT_EQ(SettingsPathInConfigHome("/cfg//", "/home/op"), "/cfg/gravelmoor/gravelmoor.ini");
    EXPECT_EQ(SettingsPathInConfigHome("relative", "/home/op/"), "/home/op/.config/gravelmoor/gravelmoor.ini");
    EXPECT_EQ(SettingsPathInConfigHome("", ""), "");
}
