// The main window's buttons, boxes and colours.
#include <windows.h>

#include <thread>

#include "engine/core/debug_trace.h"
#include "engine/core/win32/text_win32.h"
#include "jobs/job_runner.h"
#include "ui/model/control_colours.h"
#include "ui/model/control_ids.h"
#include "ui/model/window_settings.h"
#include "ui/win32/main_dialog.h"
#include "ui/win32/resource.h"

namespace {

// How long a probe reads its drive's first block, again and again.
constexpr DWORD PROBE_MS = 1000;
constexpr DWORD PROBE_MAX_MS = 3000;

int RowOf(const std::array<uint32_t, ROW_COUNT>& arrIds, WORD nId)
{
    for (int r = 0; r < ROW_COUNT; ++r) {
        if (arrIds[static_cast<size_t>(r)] == nId) return r;
    }
    return -1;
}

bool IsOptionBox(WORD nId)
{
    switch (nId) {
    case IDC_OPT_VERIFY:
    case IDC_OPT_EJECT:
    case IDC_OPT_SHARE_READ:
    case IDC_OPT_FORCE_WRITE:
    case IDC_OPT_FORCE_VERIFY:
    case IDC_OPT_MAKE_MD5SUM:
    case IDC_OPT_UNSTABLE_READ:
    case IDC_OPT_MD5_VERIFY:
    case IDC_OPT_COMPARE_AFTER_WRITE:
        return true;
    default:
        return false;
    }
}

// Reads the drive's first 4096 bytes until the time is up (the drive's
// activity light tells the operator which drive it is). Failures are silent.
void ProbeDrive(IDeviceProvider* pDevices, std::string strPath, DWORD dwMs)
{
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pDrive = pDevices->Open(strPath, EOpenMode::ReadDrive, nError);
    if (!pDrive) return;
    std::vector<uint8_t> block(4096);
    const DWORD dwStart = ::GetTickCount();
    const DWORD dwDuration = dwMs < PROBE_MAX_MS ? dwMs : PROBE_MAX_MS;
    while (::GetTickCount() - dwStart < dwDuration) {
        if (!pDrive->ReadAt(0, block.data(), static_cast<uint32_t>(block.size())).bOk) break;
    }
}

}  // namespace

void CGravelmoorDlg::OnCommand(WORD nId, WORD nCode, HWND)
{
    if (OnRowCommand(nId, nCode)) return;
    if (nId == IDC_IMAGE_PATH) {
        if (nCode == CBN_EDITCHANGE) OnImagePathChanged(GetWindowTextUtf8(m_imagePath.Window()));
        if (nCode == CBN_SELCHANGE) OnImagePathChanged(m_imagePath.GetText());
        return;
    }
    if (nId == IDC_LOG) {
        if (nCode == EN_SETFOCUS) m_log.CollapseSelection();
        return;
    }
    if (nCode != BN_CLICKED) return;
    switch (nId) {
    case IDC_READ: OnJobButton(DUMPTASK_READ); break;
    case IDC_WRITE: OnJobButton(DUMPTASK_WRITE); break;
    case IDC_VERIFY: OnJobButton(DUMPTASK_VERIFY); break;
    case IDC_ERASE: OnJobButton(DUMPTASK_ERASE); break;
    case IDC_STOP: StopDumpTask(false); break;
    case IDOK: OnCloseButton(); break;
    case IDCANCEL: OnClose(); break;
    case IDC_BROWSE: OnBrowse(); break;
    case IDC_OPT_COMPRESS_IMAGE: OnCompressToggled(); break;
    case IDC_REFRESH:
    case IDC_CAPTION_DRIVES: RefreshDriveList(); break;
    default:
        if (IsOptionBox(nId)) OnOptionClicked(nId);
        break;
    }
}

bool CGravelmoorDlg::OnRowCommand(WORD nId, WORD nCode)
{
    int r = RowOf(IDC_ROW_DRIVE, nId);
    if (r >= 0) {
        if (nCode == CBN_SELCHANGE) OnDriveSelChange(r);
        return true;
    }
    if (nCode != BN_CLICKED) return false;
    if ((r = RowOf(IDC_ROW_ENABLE, nId)) >= 0) {
        OnEnableBox(r);
    } else if ((r = RowOf(IDC_ROW_PROBE, nId)) >= 0) {
        OnProbe(r);
    } else if ((r = RowOf(IDC_ROW_EJECT, nId)) >= 0) {
        OnEject(r);
    } else if ((r = RowOf(IDC_ROW_LOCK, nId)) >= 0) {
        OnLockSwitch(r);
    } else {
        return false;
    }
    return true;
}

void CGravelmoorDlg::OnOptionClicked(WORD nId)
{
    T_WINDOW_OPTIONS options = OptionsShown();
    OptionClicked(options, nId);
    ShowOptions(options);
    if (nId == IDC_OPT_VERIFY) ::InvalidateRect(::GetDlgItem(m_hWnd, IDC_OPT_MD5_VERIFY), nullptr, TRUE);
    UpdateControls();
}

void CGravelmoorDlg::OnProbe(int r)
{
    const T_ITEM_DATA* pItem = RowItem(r);
    if (!pItem || !::IsWindowEnabled(::GetDlgItem(m_hWnd, static_cast<int>(IDC_ROW_DRIVE[r])))) return;
    try {
        std::thread(ProbeDrive, m_ports.pDevices, pItem->strPath, PROBE_MS).detach();
    } catch (const std::system_error&) {
        DebugTrace("ProbeDriveThread - CreateThread() failed\n");
    }
}

void CGravelmoorDlg::OnEject(int r)
{
    const T_ITEM_DATA* pItem = RowItem(r);
    if (!pItem || !::IsWindowEnabled(::GetDlgItem(m_hWnd, static_cast<int>(IDC_ROW_DRIVE[r])))) return;
    const T_ITEM_DATA item = *pItem;
    if (!m_VolumeControl.IsMediaPresent(item.nKind, item.nNumber, item.strPath)) {
        m_VolumeControl.LoadMedia(item.nKind, item.nNumber);
        if (item.nKind != DRIVE_KIND_CDROM) return;
        if (m_VolumeControl.IsMediaPresent(item.nKind, item.nNumber, item.strPath)) return;
    }
    m_VolumeControl.EjectMedia(item.nKind, item.nNumber);
}

void CGravelmoorDlg::OnLockSwitch(int r)
{
    const T_ITEM_DATA* pItem = RowItem(r);
    if (!pItem || !::IsWindowEnabled(::GetDlgItem(m_hWnd, static_cast<int>(IDC_ROW_DRIVE[r])))) return;
    if (m_VolumeControl.IsDriveLocked(pItem->nKind, pItem->nNumber)) {
        m_VolumeControl.UnlockDriveVolumes(pItem->nKind, pItem->nNumber);
    } else {
        m_VolumeControl.LockDriveVolumes(pItem->nKind, pItem->nNumber);
    }
    UpdateLockMarks(true);
    UpdateControls();
}

void CGravelmoorDlg::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    const int r = RowOf(IDC_ROW_LOCK, static_cast<WORD>(item.CtlID));
    if (r >= 0) m_lock[static_cast<size_t>(r)].DrawItem(item);
}

INT_PTR CGravelmoorDlg::OnCtlColor(HDC hdc, HWND hControl)
{
    const int nId = ::GetDlgCtrlID(hControl);
    const bool bEnabled = ::IsWindowEnabled(hControl) != FALSE;
    const auto paint = [hdc](const T_TEXT_COLOURS& colours) {
        ::SetTextColor(hdc, colours.crText);
        ::SetBkColor(hdc, colours.crBack);
        ::SetBkMode(hdc, OPAQUE);
    };
    switch (nId) {
    case IDC_TOTAL_PROGRESS:
    case IDC_IMAGE_PROGRESS:
    case 1007:
    case 1008:
    case 1009:
    case 1010:
        return reinterpret_cast<INT_PTR>(::GetStockObject(NULL_BRUSH));
    case IDC_IMAGE_VERDICT: {
        if (!bEnabled) return FALSE;
        const T_TEXT_COLOURS colours = VerdictColours(GetWindowTextUtf8(hControl));
        paint(colours);
        return reinterpret_cast<INT_PTR>(colours.bRedBrush ? m_hRedBrush : ::GetStockObject(WHITE_BRUSH));
    }
    case IDC_ROW_STATUS0:
    case IDC_ROW_STATUS1:
    case IDC_ROW_STATUS2:
    case IDC_ROW_STATUS3:
        if (!bEnabled) return FALSE;
        paint(RowStatusColours(GetWindowTextUtf8(hControl)));
        return reinterpret_cast<INT_PTR>(::GetStockObject(WHITE_BRUSH));
    case 1011:
    case 1012:
    case 1013:
    case 1014:
    case IDC_IMAGE_NOTE:
    case IDC_REMAIN:
    case IDC_IMAGE_DIGEST:
        if (!bEnabled) return FALSE;
        paint(T_TEXT_COLOURS{});
        return reinterpret_cast<INT_PTR>(::GetStockObject(WHITE_BRUSH));
    default:
        return PictureLabelColours(hdc, hControl);
    }
}
