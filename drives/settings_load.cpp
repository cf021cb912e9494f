// The setup settings read for the main window, and drive letter lists.
#include "drives/settings_load.h"

#include <algorithm>

#include "engine/core/format.h"

namespace {

// The upper-case letter of one byte of UTF-8 text, or 0. Bytes of a
// character beyond ASCII never are letters here.
char UpperLetter(char c)
{
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return c;
    return 0;
}

constexpr uint32_t DRIVE_TYPE_NO_ROOT_DIR = 1;
constexpr uint32_t DRIVE_TYPE_REMOVABLE = 2;
constexpr uint32_t DRIVE_TYPE_CDROM = 5;

// Letters of every drive type except those the list may show.
uint32_t NotRemovableLetters(const FnDriveTypeOfLetter& driveTypeOf)
{
    uint32_t dwMask = 0;
    for (char chLetter = 'A'; chLetter <= 'Z'; ++chLetter) {
        const uint32_t nType = driveTypeOf(chLetter);
        if (nType != DRIVE_TYPE_NO_ROOT_DIR && nType != DRIVE_TYPE_REMOVABLE && nType != DRIVE_TYPE_CDROM)
            dwMask |= LetterBit(chLetter);
    }
    return dwMask;
}

// A number of a key with a largest value: nDefault when the key is missing
// or empty, and, with a warning, when the number is larger (however many
// digits it has). Smaller ones are the caller's to judge.
int64_t ReadNumberAtMost(IProfileStore& store, const std::string& strPath, std::string_view strKey,
                         int64_t nDefault, int64_t nMax, std::vector<std::string>* pWarnings)
{
    const std::string strText = ReadSettingText(store, strPath, strKey);
    if (strText.empty()) return nDefault;
    const int64_t nValue = ParseProfileNumber(strText);
    if (nValue <= nMax) return nValue;
    if (pWarnings) {
        pWarnings->push_back(FormatText("the settings file %s: %s=%s is more than %I64d; %I64d is used instead.\n",
                                        strPath, strKey, strText, nMax, nDefault));
    }
    return nDefault;
}

bool IsOurSection(std::string_view strSection)
{
    return std::equal(strSection.begin(), strSection.end(), SETTINGS_SECTION.begin(), SETTINGS_SECTION.end(),
                      [](char a, char b) { return (a | 0x20) == (b | 0x20); });
}

}  // namespace

T_SETTINGS LoadSettings(IProfileStore& store, const std::string& strPath, const FnDriveTypeOfLetter& driveTypeOf)
{
    T_SETTINGS settings;
    settings.bShowCDROM = ReadSettingFlag(store, strPath, SettingsKey::ShowCDROM);
    settings.bShowFLOPPY = ReadSettingFlag(store, strPath, SettingsKey::ShowFLOPPY);
    settings.dwNoScanMask = LetterMask(ReadSettingText(store, strPath, SettingsKey::NoScanDriveLetters));
    settings.dwHideMask = LetterMask(ReadSettingText(store, strPath, SettingsKey::HideDriveLetters));
    settings.bShowRemovableOnly = ReadSettingFlag(store, strPath, SettingsKey::ShowRemovableOnly);
    if (settings.bShowRemovableOnly) settings.dwHideMask |= NotRemovableLetters(driveTypeOf);
    settings.bHideNoDriveLetter = ReadSettingFlag(store, strPath, SettingsKey::HideNoDriveLetter);
    settings.dwNoScanMask &= ~settings.dwHideMask;
    settings.strLockDriveLetters = ReadSettingText(store, strPath, SettingsKey::LockDriveLetters);
    settings.bLockNotReadyDrive = ReadSettingFlag(store, strPath, SettingsKey::LockNotReadyDrive);
    settings.nBufferMiB = ReadBufferMiB(store, strPath, &settings.arrWarnings);
    settings.nCompressThreads = ReadCompressThreads(store, strPath, &settings.arrWarnings);
    AddStrayKeyWarnings(store, strPath, settings.arrWarnings);
    return settings;
}

uint32_t ReadCompressThreads(IProfileStore& store, const std::string& strPath, std::vector<std::string>* pWarnings)
{
    const int64_t nThreads =
        ReadNumberAtMost(store, strPath, SettingsKey::CompressThreads, 0, COMPRESS_THREADS_MAX, pWarnings);
    return nThreads < 1 ? 0 : static_cast<uint32_t>(nThreads);
}

int32_t ReadBufferMiB(IProfileStore& store, const std::string& strPath, std::vector<std::string>* pWarnings)
{
    const int64_t nMiB =
        ReadNumberAtMost(store, strPath, SettingsKey::Buffer, BUFFER_MIB_MIN, BUFFER_MIB_MAX, pWarnings);
    return nMiB < BUFFER_MIB_MIN ? BUFFER_MIB_MIN : static_cast<int32_t>(nMiB);
}

void AddStrayKeyWarnings(IProfileStore& store, const std::string& strPath, std::vector<std::string>& arrWarnings)
{
    std::vector<T_PROFILE_KEY> arrStray;
    for (const T_PROFILE_KEY& key : store.ListKeys(strPath)) {
        // A comment that holds an "=" is no key of anyone's.
        const bool bComment = key.strKey.empty() || key.strKey[0] == ';' || key.strKey[0] == '#';
        if (!bComment && !IsOurSection(key.strSection)) arrStray.push_back(key);
    }
    // One line per section, naming its keys.
    for (size_t i = 0; i < arrStray.size();) {
        const std::string& strSection = arrStray[i].strSection;
        std::string strKeys;
        for (; i < arrStray.size() && arrStray[i].strSection == strSection; ++i)
            strKeys += (strKeys.empty() ? "" : ", ") + arrStray[i].strKey;
        const std::string strWhere = strSection.empty() ? "above the first section" : "under [" + strSection + "]";
        arrWarnings.push_back(FormatText("the settings file %s: the keys %s are not read (%s); settings are read "
                                         "from the [%s] section only.\n",
                                         strPath, strWhere, strKeys, SETTINGS_SECTION));
    }
}

uint32_t LetterMask(std::string_view strLetters)
{
    uint32_t dwMask = 0;
    for (char c : strLetters) {
        if (const char chLetter = UpperLetter(c)) dwMask |= LetterBit(chLetter);
    }
    return dwMask;
}

std::vector<char> LetterSequence(std::string_view strLetters)
{
    std::vector<char> letters;
    uint32_t dwSeen = 0;
    for (char c : strLetters) {
        const char chLetter = UpperLetter(c);
        if (!chLetter || (dwSeen & LetterBit(chLetter))) continue;
        dwSeen |= LetterBit(chLetter);
        letters.push_back(chLetter);
    }
    return letters;
}
