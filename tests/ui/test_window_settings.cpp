// The window's own values in the settings file through the platform's
// store on a temporary file: defaults, a full round trip beside the setup
// keys, the history that stops at its first gap, keys of none and of
// floppies, and paths as long as the box allows.
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

    CTempDir m_dir;
    std::string m_strPath = m_dir.File("gravelmoor.ini");
    std::unique_ptr<IProfileStore> m_pStore = CreateProfileStore();
};

}  // namespace

TEST_F(WindowSettings, WithoutAFileRowsHoldKeysZeroToThreeAndEverythingIsUnchecked)
{
    const T_WINDOW_SETTINGS settings = LoadWindowSettings(*m_pStore, m_strPath);
    EXPECT_EQ(settings.nRowDriveKey, (std::array<uint32_t, 4>{0, 1, 2, 3}));
    EXPECT_EQ(settings.bEnableDrive, (std::array<bool, 4>{false, false, false, false}));
    EXPECT_TRUE(settings.arrImagePath.empty());
    EXPECT_FALSE(settings.options.bVerify || settings.options.bEject || settings.options.bCompressImage ||
                 settings.options.bMD5Verify || settings.options.bMakeMD5SUM);
}

TEST_F(WindowSettings, EverythingSavedReadsBackExceptTheUnstableMediaOption)
{
    Write("Buffer", "4096");  // a setup key in the same section survives
    for (bool bOn : {true, false}) {
        T_WINDOW_SETTINGS out;
        out.nRowDriveKey = {0x70001, 0xFFFFFFFF, 0xE0000000, 0x20000};
        if (!bOn) out.nRowDriveKey = {0x70003, 0x70002, 0x70001, 0x70000};
        out.bEnableDrive = {bOn, !bOn, bOn, !bOn};
        out.arrImagePath = {"C:\\img\\a.gmi", "D:\\イメージ\\b.gmz"};
        out.options = {bOn, !bOn, bOn, !bOn, bOn, !bOn, true, bOn, !bOn, bOn};
        out.strLastImagePath = out.arrImagePath[0];
        ASSERT_TRUE(SaveWindowSettings(*m_pStore, m_strPath, out));
        const T_WINDOW_SETTINGS in = LoadWindowSettings(*m_pStore, m_strPath);
        EXPECT_EQ(in.nRowDriveKey, out.nRowDriveKey);
        EXPECT_EQ(in.bEnableDrive, out.bEnableDrive);
        EXPECT_EQ(in.arrImagePath, out.arrImagePath);
        T_WINDOW_OPTIONS expected = out.options;
        expected.bUnstableRead = false;
        EXPECT_TRUE(in.options.bVerify == expected.bVerify && in.options.bEject == expected.bEject &&
                    in.options.bShareRead == expected.bShareRead &&
                    in.options.bForceWrite == expected.bForceWrite &&
                    in.options.bForceVerify == expected.bForceVerify &&
                    in.options.bMakeMD5SUM == expected.bMakeMD5SUM && !in.options.bUnstableRead &&
                    in.options.bCompressImage == expected.bCompressImage &&
                    in.options.bMD5Verify == expected.bMD5Verify &&
                    in.options.bCompareAfterWrite == expected.bCompareAfterWrite)
            << bOn;
    }
    EXPECT_EQ(ReadBufferMiB(*m_pStore, m_strPath), 4096);
    EXPECT_EQ(m_pStore->GetString(m_strPath, "Gravelmoor", "Drive1", "", 255), "458754");  // decimal
    EXPECT_EQ(m_pStore->GetString(m_strPath, "Gravelmoor", "LastImagePath", "", 300), "C:\\img\\a.gmi");
}

TEST_F(WindowSettings, NoDriveIsWrittenAsMinusOneAndTheHistoryStopsAtItsFirstGap)
{
    T_WINDOW_SETTINGS out;
    out.nRowDriveKey = {0xFFFFFFFF, 1, 2, 3};
    ASSERT_TRUE(SaveWindowSettings(*m_pStore, m_strPath, out));
    EXPECT_EQ(m_pStore->GetString(m_strPath, "Gravelmoor", "Drive0", "", 255), "-1");
    Write("ImagePath_0", "a.gmi");
    Write("ImagePath_1", "b.gmi");
    Write("ImagePath_2", "");
    Write("ImagePath_3", "d.gmi");
    EXPECT_EQ(LoadWindowSettings(*m_pStore, m_strPath).arrImagePath, (std::vector<std::string>{"a.gmi", "b.gmi"}));
    for (int i = 0; i < 12; ++i) {
        std::string strKey = "ImagePath_";
        std::string strValue = "p";
        Write(strKey.append(std::to_string(i)), strValue.append(std::to_string(i)));
    }
    EXPECT_EQ(LoadWindowSettings(*m_pStore, m_strPath).arrImagePath.size(), 10u);
    Write("EnableDrive2", "7");  // any value but 0 is checked
    EXPECT_TRUE(LoadWindowSettings(*m_pStore, m_strPath).bEnableDrive[2]);
}

TEST_F(WindowSettings, APathAsLongAsTheBoxAllowsComesBackWholeAndTheLastPathIsCutWithoutSplittingACharacter)
{
    const std::string strLong = std::string("C:\\").append(257, 'x');  // 260 characters
    T_WINDOW_SETTINGS out;
    out.arrImagePath = {strLong};
    out.strLastImagePath = std::string("D:\\").append(251, 'y').append("イメージ");  // 258 characters
    ASSERT_TRUE(SaveWindowSettings(*m_pStore, m_strPath, out));
    EXPECT_EQ(LoadWindowSettings(*m_pStore, m_strPath).arrImagePath, std::vector<std::string>{strLong});
    EXPECT_EQ(m_pStore->GetString(m_strPath, "Gravelmoor", "LastImagePath", "", 1000),
              std::string("D:\\").append(251, 'y').append("イ"));
    EXPECT_EQ(CutToChars("ドライブ", 2), "ドラ");
    EXPECT_EQ(CutToChars("ab", 5), "ab");
}
