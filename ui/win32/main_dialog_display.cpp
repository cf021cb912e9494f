// What the engines, the job runner and the checksum task report, and the
// window's timers. Reports are gathered as they come and shown by the
// display timer, so a flood of them costs one repaint per control and tick.
#include <windows.h>

#include <shlobj.h>

#include "engine/core/debug_trace.h"
#include "engine/core/notify.h"
#include "engine/core/win32/text_win32.h"
#include "ui/model/control_ids.h"
#include "ui/model/progress_routing.h"
#include "ui/model/refresh_rules.h"
#include "ui/win32/main_dialog.h"

namespace {

// Pieces waiting beyond this many are shown at once, so the queue stays small.
constexpr size_t MAX_PENDING_PIECES = 2000;
// A burst of lines goes into the log in pieces of at most this size.
constexpr size_t MAX_MERGED_BYTES = 16 * 1024;
constexpr UINT TEXT_CENTRE = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

}  // namespace

void CGravelmoorDlg::OnEngineProgress(WPARAM wParam, LPARAM lParam)
{
    const T_PROGRESS_ROUTE route = RouteProgress(static_cast<uint32_t>(wParam));
    const int nValue = static_cast<int>(lParam);
    switch (route.eEffect) {
    case EProgressEffect::Bar:
        Progress(route.nControlId).SetBarLater(static_cast<size_t>(route.nBar), nValue);
        break;
    case EProgressEffect::TotalBar:
        Progress(route.nControlId).SetBarLater(0, nValue);
        Progress(route.nControlId).SetTextLater(TotalPercentText(lParam), TEXT_CENTRE);
        break;
    case EProgressEffect::SpeedText: {
        const char* pszText = HeapStringOf(lParam);
        const std::string strSpeed = pszText ? pszText : "";
        if (m_shownSpeeds.Shows(route, strSpeed)) Progress(route.nControlId).SetTextLater(strSpeed, TEXT_RIGHT);
        FreeHeapString(lParam);
        break;
    }
    case EProgressEffect::RemainText:
        m_strPendingRemain = RemainText(lParam);
        m_bRemainPending = true;
        break;
    case EProgressEffect::None:
        break;
    }
}

void CGravelmoorDlg::OnEngineLog(WPARAM wParam, LPARAM lParam)
{
    const char* pszText = lParam ? HeapStringOf(lParam) : nullptr;
    const std::string strText = pszText ? pszText : "";
    if (lParam) FreeHeapString(lParam);
    DebugTrace(strText);
    for (T_LOG_PIECE& piece : m_logPieces.Split(static_cast<uint32_t>(wParam), strText)) {
        m_arrPendingLog.push_back(std::move(piece));
    }
    if (m_arrPendingLog.size() > MAX_PENDING_PIECES) FlushDisplay();
}

void CGravelmoorDlg::FlushDisplay()
{
    if (!m_hWnd) return;
    for (const T_LOG_PIECE& piece : MergeLogPieces(std::move(m_arrPendingLog), MAX_MERGED_BYTES)) m_log.Append(piece);
    if (!m_arrPendingLog.empty()) ::SendMessageW(m_log.Window(), WM_VSCROLL, SB_BOTTOM, 0);
    m_arrPendingLog.clear();
    for (CProgressInfoCtrl& ctrl : m_progress) ctrl.ShowPending();
    if (m_bRemainPending) {
        m_bRemainPending = false;
        SetItemTextUtf8(m_hWnd, IDC_REMAIN, m_strPendingRemain);
    }
}

void CGravelmoorDlg::OnChecksumResult(WPARAM wParam, LPARAM lParam)
{
    const bool bString = ChecksumReportHasString(wParam) && lParam != 0;
    const std::string strText = bString ? HeapStringOf(lParam) : "";
    const T_CHECKSUM_VIEW view = ChecksumViewOf(wParam, lParam, strText);
    if (bString && view.bFreeString) FreeHeapString(lParam);
    if (view.strDigest) SetItemTextUtf8(m_hWnd, IDC_IMAGE_DIGEST, *view.strDigest);
    if (view.strVerdict) SetItemTextUtf8(m_hWnd, IDC_IMAGE_VERDICT, *view.strVerdict);
    if (view.bClearImageBars) {
        m_progress[5].SetAllBars(0);
    }
    if (view.strImageText) {
        m_progress[5].SetText(*view.strImageText, TEXT_RIGHT);
        if (m_HashTask.m_bHashValid.load()) m_nImageSize = m_HashTask.m_nImageSize.load();
    }
    if (view.bUpdateControls) UpdateControls();
}

void CGravelmoorDlg::ClearAllBars()
{
    for (CProgressInfoCtrl& ctrl : m_progress) ctrl.SetAllBars(0);
}

void CGravelmoorDlg::OnTimer(UINT_PTR nId)
{
    if (nId == TIMER_DISPLAY) {
        FlushDisplay();
    } else if (nId == TIMER_STOP) {
        OnStopTimer();
    } else if (nId == TIMER_SECOND) {
        OnSecondTimer();
    } else if (nId == TIMER_REFRESH && m_bRefreshPending) {
        ::KillTimer(m_hWnd, TIMER_REFRESH);
        m_bRefreshPending = false;
        DebugTrace("TIMER#0\n");
        RefreshDriveList();
    }
}

void CGravelmoorDlg::OnSecondTimer()
{
    m_bBlink = !m_bBlink;
    if (m_bDumpTask) {
        UpdateLamps();
        return;
    }
    const auto isMediaPresent = [this](const T_ITEM_DATA& item) {
        return m_VolumeControl.IsMediaPresent(item.nKind, item.nNumber, item.strPath);
    };
    if (MediaArrived(m_arrItem, isMediaPresent)) RefreshDriveList();
}

void CGravelmoorDlg::ArmRefreshTimer(UINT nMs)
{
    m_bRefreshPending = true;
    ::SetTimer(m_hWnd, TIMER_REFRESH, nMs, nullptr);
}

void CGravelmoorDlg::OnDeviceChangeMessage(WPARAM wParam)
{
    const T_REFRESH_ACTION action = OnDeviceChange(wParam);
    if (action.bRefreshNow) RefreshDriveList();
    if (action.bArmTimer) ArmRefreshTimer(action.nTimerMs);
}

void CGravelmoorDlg::OnShellChangeMessage(WPARAM wParam, LPARAM lParam)
{
    PIDLIST_ABSOLUTE* ppidl = nullptr;
    LONG nEvent = 0;
    const HANDLE hLock = ::SHChangeNotification_Lock(reinterpret_cast<HANDLE>(wParam), static_cast<DWORD>(lParam),
                                                     &ppidl, &nEvent);
    if (!hLock) return;
    const T_REFRESH_ACTION action = OnShellChange(static_cast<uint32_t>(nEvent));
    if (action.bArmTimer) ArmRefreshTimer(action.nTimerMs);
    ::SHChangeNotification_Unlock(hLock);
}
