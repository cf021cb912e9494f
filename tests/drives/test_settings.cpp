// The setup settings through the platform's store: every key written by
// the setup dialog and read back, the letter masks, the buffer limit, and
// a file that is missing.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "drives/profile_store.h"
#include "drives/settings_load.h"
#include "drives/settings_setup.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr uint32_t Bits(std::string_view strLetters)
{
    uint32_t dwMask = 0;
    for (char c : strLetters) dwMask |= uint32_t{1} << (c - 'A');
    return dwMask;
}

class Settings : public ::testing::Test {
protected:
    void Write(std::string_view strKey, std::string_view strValue)
    {
        ASSERT_TRUE(m_pStore->WriteString(m_strPath, SETTINGS_SECTION, strKey, strValue));
    }
    // Drive types by letter; a letter not listed has no volume (1).
    T_SETTINGS Load(std::map<char, uint32_t> types = {})
    {
        return LoadSettings(*m_pStore, m_strPath, [&types](char c) { return types.contains(c) ? types[c] : 1u; });
    }

    CTempDir m_dir;
    std::string m_strPath = m_dir.File("gravelmoor.ini");
    std::unique_ptr<IProfileStore> m_pStore = CreateProfileStore();
};

}  // namespace

TEST_F(Settings, EveryKeyTheSetupDialogWritesReadsBackAndAMissingFileGivesTheDefaults)
{
    const T_SETTINGS defaults = Load({{'C', 3}});
    EXPECT_TRUE(defaults.dwNoScanMask == 0 && defaults.dwHideMask == 0 && defaults.nBufferMiB == 16);
    EXPECT_FALSE(defaults.bShowRemovableOnly || defaults.bShowCDROM || defaults.bLockNotReadyDrive);
    EXPECT_EQ(ReadSetupValues(*m_pStore, m_strPath).strBuffer, "16");
    for (bool bOn : {true, false}) {
        T_SETUP_VALUES in;
        in.strNoScanDriveLetters = bOn ? "ab1" : "";
        in.strHideDriveLetters = bOn ? "CDEF" : "z";
        in.strLockDriveLetters = bOn ? "IJK" : "Q";
        in.strBuffer = bOn ? "4096" : "8";  // as typed, a buffer below 16 too
        in.bLockNotReadyDrive = in.bShowRemovableOnly = in.bHideNoDriveLetter = in.bShowCDROM = in.bShowFLOPPY = bOn;
        ASSERT_TRUE(WriteSetupValues(*m_pStore, m_strPath, in));
        const T_SETUP_VALUES out = ReadSetupValues(*m_pStore, m_strPath);
        EXPECT_EQ(out.strNoScanDriveLetters + "|" + out.strHideDriveLetters + "|" + out.strLockDriveLetters + "|" +
                      out.strBuffer,
                  in.strNoScanDriveLetters + "|" + in.strHideDriveLetters + "|" + in.strLockDriveLetters + "|" +
                      in.strBuffer);
        const T_SETTINGS settings = Load();
        EXPECT_EQ(settings.nBufferMiB, bOn ? 4096 : 16);
        for (bool b : {out.bLockNotReadyDrive, out.bShowRemovableOnly, out.bHideNoDriveLetter, out.bShowCDROM,
                       out.bShowFLOPPY, settings.bLockNotReadyDrive, settings.bShowRemovableOnly,
                       settings.bHideNoDriveLetter, settings.bShowCDROM, settings.bShowFLOPPY})
            EXPECT_EQ(b, bOn);
    }
}

TEST_F(Settings, LetterListsBecomeMasksAndAHiddenLetterIsAlwaysExamined)
{
    EXPECT_EQ(LetterMask("zZ-a,A ドライブ E: ｆ"), Bits("AEZ"));  // only ASCII letters count
    Write("NoScanDriveLetters", "ab1ce");
    Write("HideDriveLetters", "Ex");
    EXPECT_EQ(Load().dwNoScanMask, Bits("ABC"));
    // With removable drives only, C: (fixed), G: (unknown type), H: (remote)
    // and I: (RAM disk) join the hide mask, and so are examined after all;
    // E: (removable), F: (CD-ROM) and letters without a volume do not.
    const std::map<char, uint32_t> types = {{'C', 3}, {'E', 2}, {'F', 5}, {'G', 0}, {'H', 4}, {'I', 6}};
    EXPECT_EQ(Load(types).dwHideMask, Bits("EX"));
    Write("ShowRemovableOnly", "1");
    const T_SETTINGS settings = Load(types);
    EXPECT_EQ(settings.dwHideMask, Bits("CEGHIX"));
    EXPECT_EQ(settings.dwNoScanMask, Bits("AB"));
}

TEST_F(Settings, TheBufferLimitIsAtLeast16AndNoValueCanAddKeys)
{
    for (const auto& [pText, nMiB] : {std::pair{"8", 16}, {"", 16}, {"17", 17}, {"abc", 16}, {"-1", 16},
                                      {"4294967295", 16}, {"64MiB", 64}, {"65536", 65536}, {"65537", 16},
                                      {"99999999999999999999", 16}}) {
        Write("Buffer", pText);
        EXPECT_EQ(Load().nBufferMiB, nMiB) << '"' << pText << '"';
    }
    T_SETUP_VALUES values;
    values.strLockDriveLetters = "E\nShowCDROM=1";  // pasted text is cut at its line break
    values.strBuffer = "32\r\nHideNoDriveLetter=1";
    ASSERT_TRUE(WriteSetupValues(*m_pStore, m_strPath, values));
    const T_SETUP_VALUES read = ReadSetupValues(*m_pStore, m_strPath);
    EXPECT_EQ(read.strLockDriveLetters + read.strBuffer, "E32");
    EXPECT_FALSE(read.bShowCDROM || read.bHideNoDriveLetter);
}

TEST_F(Settings, ANumberOutOfRangeAndKeysOutsideTheSectionAreWarnedAbout)
{
    const std::string strText =
        "; Buffer=64 is plenty\n[Settings]\nShowCDROM=1\nBuffer=32\n[gravelmoor]\nBuffer=99999999999999999999\n";
    WriteWholeFile(m_strPath, {strText.begin(), strText.end()});
    const T_SETTINGS settings = Load();
    EXPECT_EQ(settings.nBufferMiB, 16);
    EXPECT_FALSE(settings.bShowCDROM);
    std::string strAll;
    for (const std::string& strWarning : settings.arrWarnings) strAll += strWarning;
    EXPECT_NE(strAll.find("the settings file " + m_strPath +
                          ": Buffer=99999999999999999999 is more than 65536; 16 is used instead.\n"),
              std::string::npos)
        << strAll;
    EXPECT_NE(strAll.find(": the keys under [Settings] are not read (ShowCDROM, Buffer); settings are read from the "
                          "[Gravelmoor] section only.\n"),
              std::string::npos)
        << strAll;
    EXPECT_EQ(strAll.find("; Buffer"), std::string::npos) << strAll;  // a comment is no key
}
