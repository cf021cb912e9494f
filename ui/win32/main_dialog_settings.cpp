// The settings file as the main window reads and writes it, and which of
// its controls can be used.
#include <windows.h>

#include "drives/settings_startup_locks.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/core/win32/text_win32.h"
#include "ui/model/control_ids.h"
#include "ui/model/enable_rules.h"
#include "ui/model/window_settings.h"
#include "ui/win32/main_dialog.h"

namespace {

// The option boxes and their fields.
struct T_OPTION_BOX {
    uint32_t nId;
    bool T_WINDOW_OPTIONS::*pField;
};
constexpr std::array<T_OPTION_BOX, 10> OPTION_BOXES = {{
    {IDC_OPT_VERIFY, &T_WINDOW_OPTIONS::bVerify},
    {IDC_OPT_EJECT, &T_WINDOW_OPTIONS::bEject},
    {IDC_OPT_SHARE_READ, &T_WINDOW_OPTIONS::bShareRead},
    {IDC_OPT_FORCE_WRITE, &T_WINDOW_OPTIONS::bForceWrite},
    {IDC_OPT_FORCE_VERIFY, &T_WINDOW_OPTIONS::bForceVerify},
    {IDC_OPT_MAKE_MD5SUM, &T_WINDOW_OPTIONS::bMakeMD5SUM},
    {IDC_OPT_UNSTABLE_READ, &T_WINDOW_OPTIONS::bUnstableRead},
    {IDC_OPT_COMPRESS_IMAGE, &T_WINDOW_OPTIONS::bCompressImage},
    {IDC_OPT_MD5_VERIFY, &T_WINDOW_OPTIONS::bMD5Verify},
    {IDC_OPT_COMPARE_AFTER_WRITE, &T_WINDOW_OPTIONS::bCompareAfterWrite},
}};

// A disk that answers its length request with "not ready" holds no medium.
bool DiskWithoutMedium(IVolumeScanner& scanner, IDeviceProvider& devices, int32_t nDisk)
{
    std::string strPath;
    if (nDisk < 0 || !scanner.GetDrivePath(STARTUP_LOCK_DEVICE_TYPE_DISK, static_cast<uint32_t>(nDisk), strPath)) {
        return false;
    }
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pDisk = devices.Open(strPath, EOpenMode::ProbeDrive, nError);
    if (!pDisk) return false;
    uint64_t nLength = 0;
    return !pDisk->GetLengthInfo(nLength, nError) && nError == SystemError::NotReady();
}

}  // namespace

void CGravelmoorDlg::LoadSettings()
{
    m_settings = ::LoadSettings(*m_ports.pProfile, m_ports.strSettingsPath, m_ports.fnDriveTypeOf);
    for (const std::string& strWarning : m_settings.arrWarnings) LogWarning("%s", strWarning);
    m_DriveInfo.m_dwNoScanLetters = m_settings.dwNoScanMask;
    m_DriveInfo.Refresh();
    ApplyStartupLocks();
    BuildDriveList();
    LoadOptions();
    m_DriveInfo.m_dwNoScanLetters = m_settings.dwNoScanMask;
}

void CGravelmoorDlg::ApplyStartupLocks()
{
    std::vector<T_LETTER_VOLUME> arrVolumes;
    for (const DISK_DRIVE_INFO& record : m_DriveInfo.m_arrDrive) {
        const uint32_t dwBit = LetterBit(record.chLetter);
        if (dwBit == 0 || record.strRoot.size() > 3) continue;  // folder mount points have no letter of their own
        arrVolumes.push_back({static_cast<char32_t>(U'A' + std::countr_zero(dwBit)), record.dwDeviceType,
                              record.dwDeviceType == DEVICE_TYPE_UNKNOWN ? -1 : record.dwDeviceNumber});
    }
    for (const T_STARTUP_LOCK& lock : PlanStartupLocks(m_settings, arrVolumes)) {
        const size_t nLetter = static_cast<size_t>(lock.chLetter - 'A');
        if (m_VolumeControl.IsHeld(nLetter)) continue;
        if (lock.bEjectDiskFirst) {
            m_VolumeControl.EjectMedia(STARTUP_LOCK_DEVICE_TYPE_DISK, static_cast<uint32_t>(lock.nDeviceNumber));
        }
        if (lock.eKey == EStartupLockKey::LockDriveLetters) {
            if (!m_VolumeControl.CanLockDrive(lock.dwDeviceType, static_cast<uint32_t>(lock.nDeviceNumber))) continue;
        } else if (!DiskWithoutMedium(*m_ports.pScanner, *m_ports.pDevices, lock.nDeviceNumber)) {
            continue;
        }
        if (m_VolumeControl.LockLetter(nLetter)) LogStartupLocked(lock);
    }
}

void CGravelmoorDlg::LoadOptions()
{
    T_WINDOW_SETTINGS settings = LoadWindowSettings(*m_ports.pProfile, m_ports.strSettingsPath);
    m_rows.nKey = settings.nRowDriveKey;
    m_imagePath.SetEntries(settings.arrImagePath);
    for (int r = 0; r < ROW_COUNT; ++r) {
        ::CheckDlgButton(m_hWnd, static_cast<int>(IDC_ROW_ENABLE[static_cast<size_t>(r)]),
                         settings.bEnableDrive[static_cast<size_t>(r)] ? BST_CHECKED : BST_UNCHECKED);
    }
    settings.options.bUnstableRead = false;
    NormaliseOptions(settings.options);
    ShowOptions(settings.options);
    UpdateControls();
}

void CGravelmoorDlg::SaveOptions()
{
    T_WINDOW_SETTINGS settings;
    settings.nRowDriveKey = m_rows.nKey;
    for (int r = 0; r < ROW_COUNT; ++r) settings.bEnableDrive[static_cast<size_t>(r)] = RowChecked(r);
    settings.arrImagePath = m_imagePath.Entries();
    settings.options = OptionsShown();
    settings.strLastImagePath = CutToChars(GetWindowTextUtf8(m_imagePath.Window()), LAST_IMAGE_PATH_MAX_CHARS);
    SaveWindowSettings(*m_ports.pProfile, m_ports.strSettingsPath, settings);
}

T_WINDOW_OPTIONS CGravelmoorDlg::OptionsShown() const
{
    T_WINDOW_OPTIONS options;
    for (const T_OPTION_BOX& box : OPTION_BOXES) {
        options.*box.pField = ::IsDlgButtonChecked(m_hWnd, static_cast<int>(box.nId)) == BST_CHECKED;
    }
    return options;
}

void CGravelmoorDlg::ShowOptions(const T_WINDOW_OPTIONS& options)
{
    for (const T_OPTION_BOX& box : OPTION_BOXES) {
        ::CheckDlgButton(m_hWnd, static_cast<int>(box.nId), options.*box.pField ? BST_CHECKED : BST_UNCHECKED);
    }
}

T_WINDOW_STATE CGravelmoorDlg::WindowState() const
{
    T_WINDOW_STATE state;
    state.bDumpTask = m_bDumpTask;
    for (int r = 0; r < ROW_COUNT; ++r) {
        const size_t nRow = static_cast<size_t>(r);
        T_ROW_FACTS& facts = state.rows[nRow];
        facts.bChecked = RowChecked(r);
        const T_ITEM_DATA* pItem = RowItem(r);
        facts.bHasDrive = pItem != nullptr;
        facts.bReady = m_rowText[nRow].bReady;
        facts.nSize = m_rowText[nRow].nSize;
        if (pItem) {
            facts.nKind = pItem->nKind;
            facts.bRemovable = pItem->bRemovable;
            facts.bCanLock = m_VolumeControl.CanLockDrive(pItem->nKind, pItem->nNumber);
        }
    }
    state.bImagePathEmpty = m_imagePath.GetText().empty();
    state.bImageExists = m_bImageExists;
    state.nImageSize = m_nImageSize;
    state.bHashValid = m_HashTask.m_bHashValid.load();
    state.bZlibLoaded = m_ports.bZlibLoaded;
    state.options = OptionsShown();
    return state;
}

void CGravelmoorDlg::UpdateControls()
{
    T_WINDOW_OPTIONS options = OptionsShown();
    NormaliseOptions(options);
    ShowOptions(options);
    T_ENABLE_SET set = EnableSetOf(WindowState());
    set.bStop = set.bStop && !m_bStopping;
    for (const auto& [nId, bEnabled] : ControlEnables(set)) {
        const HWND hControl = ::GetDlgItem(m_hWnd, static_cast<int>(nId));
        if ((::IsWindowEnabled(hControl) != FALSE) != bEnabled) ::EnableWindow(hControl, bEnabled);
    }
    const HMENU hMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (hMenu) ::EnableMenuItem(hMenu, IDM_SETUP, MF_BYCOMMAND | (set.bSetupMenu ? MF_ENABLED : MF_GRAYED));
    UpdateLockMarks(false);
    UpdateLamps();
}
