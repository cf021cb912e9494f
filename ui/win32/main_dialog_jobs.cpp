// Starting, stopping and ending a job. The job's pre-flight runs before
// any question, its refusals in the log; the job runs on the job runner's
// thread (DumpTaskThread) from the description the window fills; the
// window only reads what the runner posts, and never waits for a job that
// runs.
#include <windows.h>

#include "engine/core/debug_trace.h"
#include "engine/core/log.h"
#include "engine/core/win32/text_win32.h"
#include "engine/erase/erase_methods.h"
#include "jobs/job_runner.h"
#include "jobs/job_preflight.h"
#include "ui/model/control_colours.h"
#include "ui/model/control_ids.h"
#include "ui/model/eject_mask.h"
#include "ui/model/job_description.h"
#include "ui/model/progress_routing.h"
#include "ui/model/refresh_rules.h"
#include "ui/model/row_display.h"
#include "ui/model/row_state.h"
#include "ui/model/window_settings.h"
#include "ui/win32/erase_dialog.h"
#include "ui/win32/main_dialog.h"
#include "ui/win32/modal_dialog.h"

namespace {

constexpr const char* REMAIN_UNKNOWN = "---秒";
constexpr int HASH_BUSY_WAITS = 100;  // of 100 ms each
constexpr UINT STOP_REPEAT_MS = 1000;

}  // namespace

std::array<const T_ITEM_DATA*, ROW_COUNT> CGravelmoorDlg::CheckedRowItems() const
{
    std::array<const T_ITEM_DATA*, ROW_COUNT> pItems{};
    for (int r = 0; r < ROW_COUNT; ++r) {
        const HWND hEnable = ::GetDlgItem(m_hWnd, static_cast<int>(IDC_ROW_ENABLE[static_cast<size_t>(r)]));
        if (::IsWindowEnabled(hEnable) && RowChecked(r)) pItems[static_cast<size_t>(r)] = RowItem(r);
    }
    return pItems;
}

bool CGravelmoorDlg::ConfirmDrives(int nTask)
{
    const std::array<std::string, ROW_COUNT> arrLines = ConfirmationLines(CheckedRowItems());
    if (nTask == DUMPTASK_WRITE) {
        COverWriteDlg dlg;
        dlg.m_strDrive = arrLines;
        return dlg.DoModal(m_hWnd) == IDOK;
    }
    if (nTask == DUMPTASK_ERASE) {
        CSelectEraseAlgorithmDlg dlg;
        dlg.m_strDrive = arrLines;
        if (dlg.DoModal(m_hWnd) != IDOK) return false;
        m_nEraseMethod = static_cast<int>(EraseMethodOfDialogIndex(dlg.m_nSelect));
    }
    return true;
}

// The job as the window shows it now, through the pre-flight: each refusal
// is an error line in the log, and nothing is asked.
bool CGravelmoorDlg::PassPreflight(int nTask)
{
    return LogRefusals(PreflightJob(DescribeJob(nTask)));
}

void CGravelmoorDlg::OnJobButton(int nTask)
{
    if (m_bDumpTask || !PassPreflight(nTask) || !ConfirmDrives(nTask)) return;
    m_imagePath.PutTextInHistory();
    SaveOptions();
    if (nTask == DUMPTASK_READ) {
        SetItemTextUtf8(m_hWnd, IDC_IMAGE_DIGEST, "");
        SetItemTextUtf8(m_hWnd, IDC_IMAGE_VERDICT, "");
    }
    const T_JOB_BAR_COLOURS colours = JobBarColours(nTask, m_hBackBitmap != nullptr);
    for (size_t i = 1; i <= ROW_COUNT; ++i) m_progress[i].m_crBar[0] = colours.crRows;
    m_progress[5].m_crBar[0] = colours.crImage;
    for (CProgressInfoCtrl& ctrl : m_progress) ctrl.Invalidate();
    m_DumpTaskParam = DescribeJob(nTask);
    if (StartDumpTask()) UpdateControls();
}

T_DUMPTASK_PARAM CGravelmoorDlg::DescribeJob(int nTask)
{
    T_JOB_REQUEST request;
    request.nTask = nTask;
    for (int r = 0; r < ROW_COUNT; ++r) {
        T_JOB_ROW& row = request.rows[static_cast<size_t>(r)];
        row.bDriveBoxEnabled =
            ::IsWindowEnabled(::GetDlgItem(m_hWnd, static_cast<int>(IDC_ROW_DRIVE[static_cast<size_t>(r)]))) != FALSE;
        const T_ITEM_DATA* pItem = RowItem(r);
        row.bHasDrive = pItem != nullptr;
        if (pItem) {
            row.nKind = pItem->nKind;
            row.nNumber = pItem->nNumber;
        }
    }
    request.strImagePath = CutToChars(m_imagePath.GetText(), IMAGE_PATH_MAX_CHARS);
    request.options = OptionsShown();
    request.bZlibLoaded = m_ports.bZlibLoaded;
    const T_MEMORY_STATUS memory = m_ports.fnMemoryStatus ? m_ports.fnMemoryStatus() : T_MEMORY_STATUS{};
    request.nBufferMiB = JobBufferMiB(m_settings.nBufferMiB, memory);
    request.nCompressThreads = m_settings.nCompressThreads;
    request.nEraseMethod = static_cast<uint32_t>(m_nEraseMethod);
    request.dwNoScanLetters = m_settings.dwNoScanMask;
    request.dwLockedLetters = m_VolumeControl.LockedLetters();
    request.pWindow = m_pNotify.get();
    request.pDriveInfo = &m_JobDriveInfo;
    request.pDevices = m_ports.pDevices;
    T_DUMPTASK_PARAM param = BuildJobDescription(request);
    param.pPrompt = m_ports.pPrompt;
    return param;
}

bool CGravelmoorDlg::StartDumpTask()
{
    CancelChecksum();
    if (m_hDumpTask) {
        ::WaitForSingleObject(m_hDumpTask, INFINITE);
        ::CloseHandle(m_hDumpTask);
        m_hDumpTask = nullptr;
    }
    for (int i = 0; i < HASH_BUSY_WAITS && m_HashTask.m_bHashBusy.load(); ++i) {
        CancelChecksum();
        ::Sleep(100);
    }
    FlushDisplay();
    ClearAllBars();
    m_shownSpeeds.Reset();
    m_progress[0].SetText(TotalPercentText(0), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetItemTextUtf8(m_hWnd, IDC_REMAIN, REMAIN_UNKNOWN);
    std::array<bool, ROW_COUNT> bChecked{};
    for (int r = 0; r < ROW_COUNT; ++r) bChecked[static_cast<size_t>(r)] = RowChecked(r);
    const auto lettersOf = [this](uint32_t nKind, uint32_t nNumber) {
        return m_DriveInfo.GetDriveLetters(nKind, nNumber);
    };
    m_nEjectMask = EjectMaskAtStart(OptionsShown().bEject, bChecked, m_rows.nKey, lettersOf);
    RowStatesForJob(m_DumpTaskParam, m_rows.nState);
    DWORD dwThreadId = 0;
    m_hDumpTask = ::CreateThread(nullptr, 0, JobThreadProc, &m_DumpTaskParam, 0, &dwThreadId);
    if (!m_hDumpTask) return false;
    m_bDumpTask = true;
    return true;
}

DWORD WINAPI CGravelmoorDlg::JobThreadProc(LPVOID pParam)
{
    return static_cast<DWORD>(DumpTaskThread(static_cast<T_DUMPTASK_PARAM*>(pParam)));
}

// Stop, and the close box's Yes (bClosing): the job is aborted now and
// again every second (OnStopTimer) until WM_DUMPTASK_END says it has
// ended. Meanwhile the window goes on answering; a window that closes ends
// with the job, or without it when the job has not ended in time.
void CGravelmoorDlg::StopDumpTask(bool bClosing)
{
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_STOP), FALSE);
    if (!m_bDumpTask) {
        UpdateControls();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!m_bStopping) {
        m_bStopping = true;
        m_stopStart = now;
        ::SetTimer(m_hWnd, TIMER_STOP, STOP_REPEAT_MS, nullptr);
    }
    if (bClosing && !m_bClosing) {
        m_bClosing = true;
        m_closeStart = now;
    }
    LogInfo(bClosing ? "the job is stopping; the window closes when it has stopped.\n" : "the job is stopping.\n");
    AbortDumpTask();
    UpdateControls();
}

void CGravelmoorDlg::OnStopTimer()
{
    if (!m_bDumpTask) return;
    AbortDumpTask();
    const auto now = std::chrono::steady_clock::now();
    if (!m_bToldNoAnswer && now - m_stopStart >= m_ports.stopPatience) {
        m_bToldNoAnswer = true;
        LogWarning("a drive does not answer; the job ends when it does.\n");
    }
    if (m_bClosing && now - m_closeStart >= m_ports.stopPatience) EndProcessWithJob();
}

void CGravelmoorDlg::OnUserError(WPARAM wParam, LPARAM lParam)
{
    DebugTrace(FormatText("OnUserError(%08X,%08X)\n", static_cast<uint32_t>(wParam), static_cast<uint32_t>(lParam)));
    const T_ROW_VERDICT verdict = RowVerdictOf(wParam, lParam);
    if (!verdict.bValid) return;
    const size_t nRow = static_cast<size_t>(verdict.nRow);
    if (!verdict.bOk) {
        const auto lettersOf = [this](uint32_t nKind, uint32_t nNumber) {
            return m_DriveInfo.GetDriveLetters(nKind, nNumber);
        };
        m_nEjectMask = EjectMaskAfterFailure(m_nEjectMask, m_rows.nKey[nRow], lettersOf);
        DebugTrace(FormatText("EJECT MASK=%08X\n", m_nEjectMask));
    }
    m_rows.nState[nRow] = RowStateAfterVerdict(m_rows.nState[nRow], verdict.bOk);
    UpdateControls();
}

void CGravelmoorDlg::OnDumpTaskEnd()
{
    ::KillTimer(m_hWnd, TIMER_STOP);
    m_bStopping = m_bToldNoAnswer = false;
    if (m_bClosing) {
        m_bDumpTask = false;
        EndWindow(IDCANCEL);
        return;
    }
    FlushDisplay();
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_STOP), FALSE);
    m_bDumpTask = false;
    for (int nLetter : LettersToEjectAtEnd(OptionsShown().bEject, m_nEjectMask, m_VolumeControl.LockedLetters())) {
        m_VolumeControl.EjectLockedVolume(static_cast<size_t>(nLetter));
    }
    m_nEjectMask = 0;
    RefreshDriveList();
    if (RecheckImageAfterJob(m_DumpTaskParam.nTask, m_HashTask.m_bHashRequest.load())) {
        SetItemTextUtf8(m_hWnd, IDC_IMAGE_NOTE, "");
        OnImagePathChanged(m_imagePath.GetText());
    }
    ShowImageSize();
    ClearAllBars();
    UpdateControls();
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}
