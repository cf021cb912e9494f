// The option boxes that hold each other in check, and the window's own
// values in the settings file through the platform's store on a temporary
// file: defaults, a round trip beside the setup keys, the history that
// stops at its first gap, and paths as long as the box allows.
#include <gtest/gtest.h>

#include "drives/profile_store.h"
#include "drives/settings_load.h"
#include "tests/support/temp_dir.h"
#include "ui/model/window_settings.h"

namespace {

class WindowSettings : public ::testing::Test {
protected:
    void Write(std::string_view strKey, std::string_view strValue)
    {
        ASSERT_TRUE(m_pStore->WriteString(m_strPath, "Gravelmoor", strKey, strValue));
    }
    std::string Read(std::string_view strKey) { return m_pStore->GetString(m_strPath, "Gravelmoor", strKey, "", 1000); }

    CTempDir m_dir;
    std::string m_strPath = m_dir.File("gravelmoor.ini");
    std::unique_ptr<IProfileStore> m_pStore = CreateProfileStore();
};

// The boxes as a word of ten letters, upper case for a checked box.
std::string Boxes(const T_WINDOW_OPTIONS& o)
{
    const bool b[] = {o.bVerify,      o.bEject,        o.bShareRead,     o.bForceWrite, o.bForceVerify,
                      o.bMakeMD5SUM, o.bUnstableRead, o.bCompressImage, o.bMD5Verify,  o.bCompareAfterWrite};
    std::string strWord;
    for (size_t i = 0; i < std::size(b); ++i) strWord += static_cast<char>((b[i] ? 'A' : 'a') + i);
    return strWord;
}

}  // namespace

TEST(OptionRules, EjectAndSharedReadExcludeEachOtherAndTheMd5CheckNeedsVerify)
{
    T_WINDOW_OPTIONS options;
    options.bEject = options.bShareRead = true;
    OptionClicked(options, IDC_OPT_SHARE_READ);
    EXPECT_TRUE(options.bShareRead && !options.bEject);
    options.bEject = true;
    OptionClicked(options, IDC_OPT_EJECT);
    EXPECT_TRUE(options.bEject && !options.bShareRead);
    options.bVerify = options.bMD5Verify = true;
    OptionClicked(options, IDC_OPT_MD5_VERIFY);
    EXPECT_TRUE(options.bMD5Verify);
    options.bVerify = false;
    OptionClicked(options, IDC_OPT_VERIFY);
    EXPECT_FALSE(options.bMD5Verify);

    T_WINDOW_OPTIONS loaded;  // from a settings file that has both
    loaded.bEject = loaded.bShareRead = loaded.bMD5Verify = true;
    NormaliseOptions(loaded);
    EXPECT_TRUE(loaded.bEject && !loaded.bShareRead && !loaded.bMD5Verify);
}

TEST_F(WindowSettings, EverythingSavedReadsBackExceptTheUnstableMediaOptionAndNoFileGivesDefaults)
{
    const T_WINDOW_SETTINGS defaults = LoadWindowSettings(*m_pStore, m_strPath);
    EXPECT_EQ(defaults.nRowDriveKey, (std::array<uint32_t, 4>{0, 1, 2, 3}));
    EXPECT_EQ(Boxes(defaults.options), "abcdefghij");
    Write("Buffer", "4096");  // a setup key in the same section survives
    for (bool bOn : {true, false}) {
        T_WINDOW_SETTINGS out;
        out.nRowDriveKey = bOn ? std::array<uint32_t, 4>{0x70001, 0xFFFFFFFFu, 0xE0000000, 0x20000}
                               : std::array<uint32_t, 4>{0x70003, 0x70002, 0x70001, 0x70000};
        out.bEnableDrive = {bOn, !bOn, bOn, !bOn};
        out.arrImagePath = {"C:\\img\\a.gmi", "D:\\イメージ\\b.gmz"};
        out.options = {bOn, !bOn, bOn, !bOn, bOn, !bOn, true, bOn, !bOn, bOn};
        ASSERT_TRUE(SaveWindowSettings(*m_pStore, m_strPath, out));
        const T_WINDOW_SETTINGS in = LoadWindowSettings(*m_pStore, m_strPath);
        EXPECT_EQ(in.nRowDriveKey, out.nRowDriveKey);
        EXPECT_EQ(in.bEnableDrive, out.bEnableDrive);
        EXPECT_EQ(in.arrImagePath, out.arrImagePath);
        out.options.bUnstableRead = false;
        EXPECT_EQ(Boxes(in.options), Boxes(out.options));
    }
    EXPECT_EQ(ReadBufferMiB(*m_pStore, m_strPath), 4096);
    EXPECT_EQ(Read("Drive1"), "458754");  // decimal
}

TEST_F(WindowSettings, TheHistoryStopsAtItsFirstGapOrItsTenthAndAnyFlagButZeroIsSet)
{
    for (int i = 0; i < 12; ++i) {
        const std::string strNumber = std::to_string(i);  // appended: GCC's -O3 warns of "literal" + string
        Write(std::string("ImagePath_").append(strNumber), std::string("p").append(strNumber));
    }
    EXPECT_EQ(LoadWindowSettings(*m_pStore, m_strPath).arrImagePath.size(), 10u);
    Write("ImagePath_2", "");
    EXPECT_EQ(LoadWindowSettings(*m_pStore, m_strPath).arrImagePath, (std::vector<std::string>{"p0", "p1"}));
    Write("EnableDrive2", "7");
    EXPECT_TRUE(LoadWindowSettings(*m_pStore, m_strPath).bEnableDrive[2]);
}

TEST_F(WindowSettings, APathAsLongAsTheBoxAllowsComesBackWholeAndTheLastPathIsCutBetweenCharacters)
{
    const std::string strLong = std::string("C:\\").append(257, 'x');  // 260 characters
    T_WINDOW_SETTINGS out;
    out.arrImagePath = {strLong};
    out.strLastImagePath = std::string("D:\\").append(251, 'y').append("イメージ");  // 258 characters
    ASSERT_TRUE(SaveWindowSettings(*m_pStore, m_strPath, out));
    EXPECT_EQ(LoadWindowSettings(*m_pStore, m_strPath).arrImagePath, std::vector<std::string>{strLong});
    EXPECT_EQ(Read("LastImagePath"), std::string("D:\\").append(251, 'y').append("イ"));
}
