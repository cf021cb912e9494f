// The main window's start-up, its message dispatch and its end.
#include "ui/win32/main_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <richedit.h>
#include <shlobj.h>

#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/log.h"
#include "engine/core/win32/text_win32.h"
#include "jobs/job_runner.h"
#include "ui/model/control_colours.h"
#include "ui/model/control_ids.h"
#include "ui/model/refresh_rules.h"
#include "ui/model/row_state.h"
#include "ui/win32/modal_dialog.h"
#include "ui/win32/resource.h"
#include "ui/win32/setup_dialog.h"
#include "ui/win32/version_info.h"

namespace {

constexpr const char* CLOSE_QUESTION = "処理を実行中です。強制終了しますか？";
constexpr const char* SETUP_MENU_TEXT = "初期設定(&I)";
constexpr UINT SHCNRF_SOURCES = 0x8003;
constexpr LONG SHCNE_EVENTS = 0x7FFFFFFF;

// The six progress controls in the order of m_progress.
constexpr std::array<uint32_t, 6> PROGRESS_IDS = {IDC_TOTAL_PROGRESS, 1010, 1007, 1008, 1009, IDC_IMAGE_PROGRESS};

}  // namespace

CGravelmoorDlg::CGravelmoorDlg(const T_WINDOW_PORTS& ports)
    : m_ports(ports),
      m_DriveInfo(*ports.pScanner),
      m_JobDriveInfo(m_DriveInfo, *ports.pScanner),
      m_VolumeControl(m_DriveInfo, *ports.pDevices)
{
    const HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    m_hIcon = ::LoadIconW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_hRedBrush = ::CreateSolidBrush(RGB(255, 0, 0));
    m_HashTask.m_pDevices = ports.pDevices;
}

CGravelmoorDlg::~CGravelmoorDlg()
{
    if (m_hDumpTask) {
        StopJobForClosing();
    }
    m_HashTask.Quit();
    for (HBITMAP hBitmap : m_bmpLamp) {
        if (hBitmap) ::DeleteObject(hBitmap);
    }
    for (HICON hIcon : {m_hIconProbe, m_hIconEject, m_hIconRefresh}) {
        if (hIcon) ::DestroyIcon(hIcon);
    }
    if (m_hBackBitmap) ::DeleteObject(m_hBackBitmap);
    if (m_hRedBrush) ::DeleteObject(m_hRedBrush);
}

INT_PTR CGravelmoorDlg::DoModal()
{
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_GRAVELMOOR_DIALOG), nullptr,
                             DialogProc, reinterpret_cast<LPARAM>(this));
}

HWND CGravelmoorDlg::Create(HWND hParent)
{
    m_bModeless = true;
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_GRAVELMOOR_DIALOG), hParent,
                                DialogProc, reinterpret_cast<LPARAM>(this));
}

void CGravelmoorDlg::EndWindow(INT_PTR nResult)
{
    m_nEndResult = nResult;
    if (m_bModeless) {
        ::DestroyWindow(m_hWnd);
    } else {
        ::EndDialog(m_hWnd, nResult);
    }
}

HBITMAP CGravelmoorDlg::LampBitmap(uint32_t nBitmapId) const
{
    const int nIndex = LampIndex(nBitmapId);
    return nIndex < 0 ? nullptr : m_bmpLamp[static_cast<size_t>(nIndex)];
}

std::string CGravelmoorDlg::ProgressText(uint32_t nControlId) const
{
    for (size_t i = 0; i < PROGRESS_IDS.size(); ++i) {
        if (PROGRESS_IDS[i] == nControlId) return m_progress[i].Text();
    }
    return {};
}

CProgressInfoCtrl& CGravelmoorDlg::Progress(uint32_t nControlId)
{
    for (size_t i = 0; i < PROGRESS_IDS.size(); ++i) {
        if (PROGRESS_IDS[i] == nControlId) return m_progress[i];
    }
    return m_progress[0];
}

INT_PTR CALLBACK CGravelmoorDlg::DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_INITDIALOG) {
        auto* pThis = reinterpret_cast<CGravelmoorDlg*>(lParam);
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        pThis->m_hWnd = hWnd;
        return pThis->OnInitDialog();
    }
    auto* pThis = reinterpret_cast<CGravelmoorDlg*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    if (!pThis) return FALSE;
    const INT_PTR nResult = pThis->OnMessage(uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        pThis->m_hWnd = nullptr;
    }
    return nResult;
}

INT_PTR CGravelmoorDlg::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_SYSCOMMAND:
        return OnSysCommand(wParam) ? TRUE : FALSE;
    case WM_CLOSE:
        OnClose();
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_DRAWITEM:
        OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_PAINT:
        return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(m_hIcon);
    case WM_DEVICECHANGE:
        OnDeviceChangeMessage(wParam);
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
        return TRUE;
    default:
        break;
    }
    switch (uMsg) {
    case WM_ENGINE_PROGRESS:
        OnEngineProgress(wParam, lParam);
        return TRUE;
    case WM_ENGINE_LOG:
        OnEngineLog(wParam, lParam);
        return TRUE;
    case WM_USER_ERROR:
        OnUserError(wParam, lParam);
        return TRUE;
    case WM_DUMPTASK_END:
        OnDumpTaskEnd();
        return TRUE;
    case WM_SHELL_CHANGE:
        OnShellChangeMessage(wParam, lParam);
        return TRUE;
    case WM_CHECKSUM_RESULT:
        OnChecksumResult(wParam, lParam);
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CGravelmoorDlg::OnInitDialog()
{
    InitSystemMenu();
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    const HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    for (size_t i = 0; i < LAMP_LOAD_ORDER.size(); ++i) {
        m_bmpLamp[i] = ::LoadBitmapW(hInstance, MAKEINTRESOURCEW(LAMP_LOAD_ORDER[i]));
    }
    for (int r = 0; r < ROW_COUNT; ++r) {
        m_lock[static_cast<size_t>(r)].Attach(::GetDlgItem(m_hWnd, static_cast<int>(IDC_ROW_LOCK[r])));
    }
    m_imagePath.Attach(::GetDlgItem(m_hWnd, IDC_IMAGE_PATH_BOX));
    InitProgressControls();
    InitPictures();
    ::SendDlgItemMessageW(m_hWnd, IDC_IMAGE_PATH_BOX, CB_LIMITTEXT, 260, 0);
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_IMAGE_PATH_BOX), SW_SHOW);
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_IMAGE_EDIT), SW_HIDE);
    InitLog();

    m_pNotify = std::make_unique<CWindowNotifyTarget>(m_hWnd);
    SetLogTarget(m_pNotify.get(), WM_ENGINE_LOG);
    InitTitleAndBanner();

    LoadSettings();
    if (!m_ports.bZlibLoaded) {
        ::CheckDlgButton(m_hWnd, IDC_OPT_COMPRESS_IMAGE, BST_UNCHECKED);
        ::ShowWindow(::GetDlgItem(m_hWnd, IDC_OPT_COMPRESS_IMAGE), SW_HIDE);
    }
    for (int nId : {IDC_IMAGE_NOTE_TEXT, IDC_IMAGE_DIGEST_TEXT, IDC_IMAGE_VERDICT_TEXT}) {
        SetItemTextUtf8(m_hWnd, nId, "");
    }
    RowsToSavedDrives();
    RegisterShellNotify();
    UpdateControls();

    m_HashTask.m_hNotifyWnd = m_pNotify.get();
    m_HashTask.Start();
    ::SetTimer(m_hWnd, TIMER_SECOND, TIMER_SECOND_MS, nullptr);
    ::SetTimer(m_hWnd, TIMER_DISPLAY, DISPLAY_PERIOD_MS, nullptr);
    return TRUE;
}

void CGravelmoorDlg::InitSystemMenu()
{
    const HMENU hMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (!hMenu) return;
    ::AppendMenuW(hMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(hMenu, MF_STRING, IDM_SETUP, Utf8ToWide(SETUP_MENU_TEXT).c_str());
    wchar_t szAbout[128] = {};
    if (::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX, szAbout, 128) > 0) {
        ::AppendMenuW(hMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(hMenu, MF_STRING, IDM_ABOUTBOX, szAbout);
    }
    const int nCount = ::GetMenuItemCount(hMenu);
    for (int i = 0; i < nCount; ++i) {
        DebugTrace(FormatText("%d: %08X\n", i, static_cast<uint32_t>(::GetMenuItemID(hMenu, i))));
    }
}

void CGravelmoorDlg::InitTitleAndBanner()
{
    const CVersionInfo version;
    const std::string strBuilds = version.String("SpecialBuild") + version.String("PrivateBuild");
    SetWindowTextUtf8(m_hWnd, "Gravelmoor " + version.ProductVersionText("V.%d.%d.%d") + strBuilds);
    const std::string strBanner = "Gravelmoor " + version.ProductVersionText("V.%d.%d.%d build %d") + strBuilds +
                                  version.DateText(" (%04d/%02d/%02d #%d)") + "\n" +
                                  version.String("LegalCopyright") + "\n" + version.String("Comments") + "\n\n";
    PostHeapString(m_pNotify.get(), WM_ENGINE_LOG, 0xFFFFFF, strBanner);
}

void CGravelmoorDlg::InitProgressControls()
{
    for (size_t i = 0; i < PROGRESS_IDS.size(); ++i) {
        CProgressInfoCtrl& ctrl = m_progress[i];
        ctrl.Attach(::GetDlgItem(m_hWnd, static_cast<int>(PROGRESS_IDS[i])));
        ctrl.m_crBack = PROGRESS_BACK_COLOR;
        ctrl.m_crText = PROGRESS_TEXT_COLOR;
        ctrl.m_crTextBar = PROGRESS_TEXT_ON_BAR_COLOR;
        ctrl.m_nFormat = i == 0 ? DT_CENTER | DT_VCENTER | DT_SINGLELINE : DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
        ctrl.m_nMax.fill(1000);
        ctrl.m_nMin.fill(0);
        ctrl.m_nPos.fill(0);
    }
}

void CGravelmoorDlg::InitPictures()
{
    if (!m_ports.strBackgroundPath.empty()) {
        m_hBackBitmap = static_cast<HBITMAP>(::LoadImageW(nullptr, Utf8ToWide(m_ports.strBackgroundPath).c_str(),
                                                          IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    }
    const bool bPicture = m_hBackBitmap != nullptr;
    if (bPicture) {
        for (int nId : {IDC_FRAME_DRIVES, IDC_FRAME_IMAGE, IDC_FRAME_OPTIONS}) {
            ::ShowWindow(::GetDlgItem(m_hWnd, nId), SW_HIDE);
        }
        BITMAP bm{};
        ::GetObjectW(m_hBackBitmap, sizeof bm, &bm);
        m_nBackWidth = bm.bmWidth;
        m_nBackHeight = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
        DescribePicture();
    } else {
        for (int nId : {IDC_CAPTION_DRIVES, IDC_CAPTION_IMAGE, IDC_CAPTION_OPTIONS}) {
            const HWND hCaption = ::GetDlgItem(m_hWnd, nId);
            RECT rc;
            ::GetWindowRect(hCaption, &rc);
            ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rc), 2);
            ::SetWindowPos(hCaption, nullptr, rc.left + 10, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
    }
    const T_BAR_COLOURS colours = StartupBarColours(bPicture);
    for (CProgressInfoCtrl& ctrl : m_progress) {
        for (size_t i = 0; i < colours.size(); ++i) ctrl.m_crBar[i] = colours[i];
        ctrl.m_bShaded = bPicture;
    }
    const HINSTANCE hInstance = ::GetModuleHandleW(nullptr);
    const auto loadIcon = [hInstance](int nId) {
        return static_cast<HICON>(::LoadImageW(hInstance, MAKEINTRESOURCEW(nId), IMAGE_ICON, 16, 16, 0));
    };
    m_hIconProbe = loadIcon(IDI_PROBE);
    m_hIconEject = loadIcon(IDI_EJECT);
    m_hIconRefresh = loadIcon(IDI_REFRESH);
    for (int r = 0; r < ROW_COUNT; ++r) {
        ::SendDlgItemMessageW(m_hWnd, static_cast<int>(IDC_ROW_PROBE[r]), BM_SETIMAGE, IMAGE_ICON,
                              reinterpret_cast<LPARAM>(m_hIconProbe));
        ::SendDlgItemMessageW(m_hWnd, static_cast<int>(IDC_ROW_EJECT[r]), BM_SETIMAGE, IMAGE_ICON,
                              reinterpret_cast<LPARAM>(m_hIconEject));
    }
    ::SendDlgItemMessageW(m_hWnd, IDC_REFRESH, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(m_hIconRefresh));
}

void CGravelmoorDlg::InitLog()
{
    m_log.Attach(::GetDlgItem(m_hWnd, IDC_LOG));
    ::SendMessageW(m_log.Window(), EM_EXLIMITTEXT, 0, static_cast<LPARAM>(LOG_TEXT_LIMIT));
    DebugTrace(FormatText("LimitText=%d\n", static_cast<int>(::SendMessageW(m_log.Window(), EM_GETLIMITTEXT, 0, 0))));
    ::SendMessageW(m_log.Window(), EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(LOG_VIEW_BACK_COLOR));
}

void CGravelmoorDlg::RegisterShellNotify()
{
    SHChangeNotifyEntry entry{nullptr, FALSE};
    m_nShellNotifyId = ::SHChangeNotifyRegister(m_hWnd, SHCNRF_SOURCES, SHCNE_EVENTS, WM_SHELL_CHANGE, 1, &entry);
    DebugTrace(FormatText("SCHNRID=%08X\n", static_cast<uint32_t>(m_nShellNotifyId)));
}

bool CGravelmoorDlg::OnPaint()
{
    if (::IsIconic(m_hWnd)) {
        PAINTSTRUCT ps;
        const HDC hdc = ::BeginPaint(m_hWnd, &ps);
        ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0);
        RECT rc;
        ::GetClientRect(m_hWnd, &rc);
        ::DrawIcon(hdc, (rc.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2,
                   (rc.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2, m_hIcon);
        ::EndPaint(m_hWnd, &ps);
        return true;
    }
    if (!m_hBackBitmap) return false;
    PAINTSTRUCT ps;
    const HDC hdc = ::BeginPaint(m_hWnd, &ps);
    RECT rc;
    ::GetClientRect(m_hWnd, &rc);
    m_nBackX = (rc.right - m_nBackWidth) / 2;
    m_nBackY = (rc.bottom - m_nBackHeight) / 2;
    const HDC hdcPicture = ::CreateCompatibleDC(hdc);
    const HGDIOBJ hOld = ::SelectObject(hdcPicture, m_hBackBitmap);
    ::BitBlt(hdc, m_nBackX, m_nBackY, m_nBackWidth, m_nBackHeight, hdcPicture, 0, 0, SRCCOPY);
    ::SelectObject(hdcPicture, hOld);
    ::DeleteDC(hdcPicture);
    ::EndPaint(m_hWnd, &ps);
    return true;
}

bool CGravelmoorDlg::OnSysCommand(WPARAM wParam)
{
    switch (wParam & 0xFFF0) {
    case IDM_ABOUTBOX: {
        CAboutDlg dlg;
        dlg.DoModal(m_hWnd);
        return true;
    }
    case IDM_SETUP: {
        CInitSetupDlg dlg(*m_ports.pProfile, m_ports.strSettingsPath);
        if (dlg.DoModal(m_hWnd) == IDOK) {
            SaveOptions();
            LoadSettings();
            RefreshDriveList();
        }
        UpdateControls();
        return true;
    }
    default:
        return false;
    }
}

// With a job running, Yes stops it; the window ends when it has ended
// (OnDumpTaskEnd), or without it after the patience (OnStopTimer).
void CGravelmoorDlg::OnClose()
{
    if (m_bDumpTask) {
        if (m_bClosing || MessageBoxUtf8(m_hWnd, CLOSE_QUESTION, "Gravelmoor", MB_YESNO) != IDYES) return;
        StopDumpTask(true);
        return;
    }
    EndWindow(IDCANCEL);
}

void CGravelmoorDlg::OnCloseButton()
{
    if (m_bDumpTask) return;
    SaveOptions();
    EndWindow(IDOK);
}

// The window is being destroyed: the job's thread must not outlive the
// description and the notify target it uses. It is stopped and waited for
// within the patience; a thread that still runs then ends with the process.
void CGravelmoorDlg::StopJobForClosing()
{
    AbortDumpTask();
    const auto nPatienceMs = static_cast<DWORD>(m_ports.stopPatience.count());
    if (::WaitForSingleObject(m_hDumpTask, nPatienceMs) != WAIT_OBJECT_0) {
        EndProcessWithJob();
        do {
            AbortDumpTask();  // only a test's port comes back here
        } while (::WaitForSingleObject(m_hDumpTask, 1000) != WAIT_OBJECT_0);
    }
    ::CloseHandle(m_hDumpTask);
    m_hDumpTask = nullptr;
    m_bDumpTask = false;
}

// Leaves while the job's thread still runs: nothing it may use is
// destroyed or unwound; the system closes the drives and volume locks.
void CGravelmoorDlg::EndProcessWithJob()
{
    if (m_bEndingProcess) return;
    m_bEndingProcess = true;
    if (m_ports.fnEndProcess) {
        m_ports.fnEndProcess();
        return;
    }
    ::TerminateProcess(::GetCurrentProcess(), 1);
}

void CGravelmoorDlg::OnDestroy()
{
    if (m_nShellNotifyId != 0) {
        ::SHChangeNotifyDeregister(m_nShellNotifyId);
        m_nShellNotifyId = 0;
    }
    for (UINT_PTR nTimer : std::array<UINT_PTR, 4>{TIMER_REFRESH, TIMER_SECOND, TIMER_DISPLAY, TIMER_STOP})
        ::KillTimer(m_hWnd, nTimer);
    for (auto& hLock : m_VolumeControl.m_hLockVolume) hLock.reset();
    m_HashTask.Quit();
    if (GetLogTarget() == m_pNotify.get()) SetLogTarget(nullptr, WM_ENGINE_LOG);
}
