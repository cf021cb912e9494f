// The setup settings read for the main window.
#include "drives/settings_load.h"

#include "drives/settings_letters.h"

namespace {

constexpr uint32_t DRIVE_TYPE_NO_ROOT_DIR = 1;
constexpr uint32_t DRIVE_TYPE_REMOVABLE = 2;
constexpr uint32_t DRIVE_TYPE_CDROM = 5;

bool ReadFlag(IProfileStore& store, const std::string& strPath, std::string_view strKey)
{
    return store.GetInt(strPath, SETTINGS_SECTION, strKey, 0) != 0;
}

std::string ReadText(IProfileStore& store, const std::string& strPath, std::string_view strKey)
{
    return store.GetString(strPath, SETTINGS_SECTION, strKey, "", SETTINGS_TEXT_MAX_CHARS);
}

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

}  // namespace

T_SETTINGS LoadSettings(IProfileStore& store, const std::string& strPath, const FnDriveTypeOfLetter& driveTypeOf)
{
    T_SETTINGS settings;
    settings.bShowCDROM = ReadFlag(store, strPath, SettingsKey::ShowCDROM);
    settings.bShowFLOPPY = ReadFlag(store, strPath, SettingsKey::ShowFLOPPY);
    settings.dwNoScanMask = LetterMask(ReadText(store, strPath, SettingsKey::NoScanDriveLetters));
    settings.dwHideMask = LetterMask(ReadText(store, strPath, SettingsKey::HideDriveLetters));
    settings.bShowRemovableOnly = ReadFlag(store, strPath, SettingsKey::ShowRemovableOnly);
    if (settings.bShowRemovableOnly) settings.dwHideMask |= NotRemovableLetters(driveTypeOf);
    settings.bHideNoDriveLetter = ReadFlag(store, strPath, SettingsKey::HideNoDriveLetter);
    settings.dwNoScanMask &= ~settings.dwHideMask;
    settings.strLockDriveLetters = ReadText(store, strPath, SettingsKey::LockDriveLetters);
    settings.bLockNotReadyDrive = ReadFlag(store, strPath, SettingsKey::LockNotReadyDrive);
    settings.nBufferMiB = ReadBufferMiB(store, strPath);
    settings.nCompressThreads = ReadCompressThreads(store, strPath);
    return settings;
}

uint32_t ReadCompressThreads(IProfileStore& store, const std::string& strPath)
{
    const int32_t nThreads = store.GetInt(strPath, SETTINGS_SECTION, SettingsKey::CompressThreads, 0);
    if (nThreads < 1) return 0;
    return static_cast<uint32_t>(nThreads > COMPRESS_THREADS_MAX ? COMPRESS_THREADS_MAX : nThreads);
}

int32_t ReadBufferMiB(IProfileStore& store, const std::string& strPath)
{
    const int32_t nMiB = store.GetInt(strPath, SETTINGS_SECTION, SettingsKey::Buffer, BUFFER_MIB_MIN);
    return nMiB < BUFFER_MIB_MIN ? BUFFER_MIB_MIN : nMiB;
}
