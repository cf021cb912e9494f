// The option boxes that hold each other in check, and the window's values
// in the settings file.
#include "ui/model/window_settings.h"

#include "drives/settings_keys.h"
#include "engine/core/format.h"

namespace {

// The option keys in the order they are written, with their boxes.
struct T_OPTION_KEY {
    const char* pKey;
    bool T_WINDOW_OPTIONS::*pMember;
};

constexpr T_OPTION_KEY OPTION_KEYS[] = {
    {"OptVerify", &T_WINDOW_OPTIONS::bVerify},
    {"OptEject", &T_WINDOW_OPTIONS::bEject},
    {"OptShareRead", &T_WINDOW_OPTIONS::bShareRead},
    {"OptForceVerify", &T_WINDOW_OPTIONS::bForceVerify},
    {"OptForceWrite", &T_WINDOW_OPTIONS::bForceWrite},
    {"OptCompareAfterWrite", &T_WINDOW_OPTIONS::bCompareAfterWrite},
    {"OptMakeMD5SUM", &T_WINDOW_OPTIONS::bMakeMD5SUM},
    {"OptCompressImage", &T_WINDOW_OPTIONS::bCompressImage},
    {"OptMD5Verify", &T_WINDOW_OPTIONS::bMD5Verify},
};

std::string DriveKey(size_t r)
{
    return FormatText("Drive%d", r);
}

std::string EnableKey(size_t r)
{
    return FormatText("EnableDrive%d", r);
}

std::string HistoryKey(size_t i)
{
    return FormatText("ImagePath_%d", i);
}

}  // namespace

void OptionClicked(T_WINDOW_OPTIONS& options, uint32_t nControlId)
{
    if (nControlId == IDC_OPT_EJECT && options.bEject) options.bShareRead = false;
    if (nControlId == IDC_OPT_SHARE_READ && options.bShareRead) options.bEject = false;
    NormaliseOptions(options);
}

void NormaliseOptions(T_WINDOW_OPTIONS& options)
{
    if (!options.bVerify) options.bMD5Verify = false;
    if (options.bEject) options.bShareRead = false;
}

T_WINDOW_SETTINGS LoadWindowSettings(IProfileStore& store, const std::string& strPath)
{
    T_WINDOW_SETTINGS settings;
    for (size_t r = 0; r < ROW_COUNT; ++r) {
        settings.nRowDriveKey[r] =
            static_cast<uint32_t>(store.GetInt(strPath, SETTINGS_SECTION, DriveKey(r), static_cast<int32_t>(r)));
    }
    // Read as long as the box allows, so that a long path comes back whole.
    for (size_t i = 0; i < IMAGE_HISTORY_MAX; ++i) {
        std::string strEntry = store.GetString(strPath, SETTINGS_SECTION, HistoryKey(i), "", IMAGE_PATH_MAX_CHARS);
        if (strEntry.empty()) break;
        settings.arrImagePath.push_back(std::move(strEntry));
    }
    for (size_t r = 0; r < ROW_COUNT; ++r) settings.bEnableDrive[r] = ReadSettingFlag(store, strPath, EnableKey(r));
    for (const T_OPTION_KEY& key : OPTION_KEYS) settings.options.*key.pMember = ReadSettingFlag(store, strPath, key.pKey);
    return settings;
}

bool SaveWindowSettings(IProfileStore& store, const std::string& strPath, const T_WINDOW_SETTINGS& settings)
{
    bool bOk = true;
    auto write = [&](std::string_view strKey, std::string_view strValue) {
        bOk = store.WriteString(strPath, SETTINGS_SECTION, strKey, strValue) && bOk;
    };
    write("LastImagePath", CutToChars(settings.strLastImagePath, LAST_IMAGE_PATH_MAX_CHARS));
    for (size_t r = 0; r < ROW_COUNT; ++r)
        write(DriveKey(r), FormatText("%d", static_cast<int32_t>(settings.nRowDriveKey[r])));
    for (size_t r = 0; r < ROW_COUNT; ++r) write(EnableKey(r), settings.bEnableDrive[r] ? "1" : "0");
    for (const T_OPTION_KEY& key : OPTION_KEYS) write(key.pKey, settings.options.*key.pMember ? "1" : "0");
    for (size_t i = 0; i < settings.arrImagePath.size() && i < IMAGE_HISTORY_MAX; ++i)
        write(HistoryKey(i), settings.arrImagePath[i]);
    return bOk;
}

std::string CutToChars(const std::string& strText, size_t nMaxChars)
{
    size_t nChars = 0;
    for (size_t i = 0; i < strText.size(); ++i) {
        if ((static_cast<unsigned char>(strText[i]) & 0xC0) == 0x80) continue;
        if (nChars++ == nMaxChars) return strText.substr(0, i);
    }
    return strText;
}
