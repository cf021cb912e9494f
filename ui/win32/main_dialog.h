#pragma once
// The main window: four drive rows, the image file with its checksum, the
// options, the job buttons, six progress displays and the log. Every
// decision comes from ui/model; this class turns window messages into
// questions to it and its answers into window calls. Jobs run on the job
// runner's thread (DumpTaskThread) and report by posted messages only;
// their log lines and progress reports are gathered and shown a few times a
// second, however fast they arrive. The window's thread never waits for a
// running job: a drive that stopped answering holds the job's thread.
#include <windows.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "drives/drive_info.h"
#include "drives/drive_list_build.h"
#include "drives/settings_load.h"
#include "engine/checksum/hash_task.h"
#include "engine/core/win32/window_notify_target.h"
#include "jobs/job_runner_param.h"
#include "jobs/job_drive_info.h"
#include "jobs/volume_control.h"
#include "ui/model/drive_rows.h"
#include "ui/model/enable_rules.h"
#include "ui/model/log_pieces.h"
#include "ui/model/progress_routing.h"
#include "ui/model/row_display.h"
#include "ui/win32/edit_combo_box.h"
#include "ui/win32/progress_info_ctrl.h"
#include "ui/win32/push_switch.h"
#include "ui/win32/rich_edit_box.h"
#include "ui/win32/window_ports.h"

// The window's own timer that shows what arrived since its last tick.
constexpr UINT_PTR TIMER_DISPLAY = 5;
constexpr UINT DISPLAY_PERIOD_MS = 200;
// The timer that aborts a stopping job again, once a second.
constexpr UINT_PTR TIMER_STOP = 6;

// The progress texts that stand at the right of their box.
constexpr UINT TEXT_RIGHT = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;

class CGravelmoorDlg {
public:
    explicit CGravelmoorDlg(const T_WINDOW_PORTS& ports);
    virtual ~CGravelmoorDlg();
    CGravelmoorDlg(const CGravelmoorDlg&) = delete;
    CGravelmoorDlg& operator=(const CGravelmoorDlg&) = delete;

    // Runs the window modally; returns how it ended.
    INT_PTR DoModal();
    // Opens the window without a loop of its own (the window test pumps).
    HWND Create(HWND hParent);
    HWND Window() const { return m_hWnd; }

    // For the window test: what the window shows beyond its controls.
    bool JobRunning() const { return m_bDumpTask; }
    HBITMAP LampBitmap(uint32_t nBitmapId) const;
    bool HasBackgroundPicture() const { return m_hBackBitmap != nullptr; }
    const std::vector<T_ITEM_DATA>& DriveList() const { return m_arrItem; }
    uint32_t RowState(int r) const { return m_rows.nState[static_cast<size_t>(r)]; }
    std::string LogText() const { return m_log.Text(); }
    std::string ProgressText(uint32_t nControlId) const;
    int EraseMethod() const { return m_nEraseMethod; }
    // How the window ended: IDOK (Close button), IDCANCEL (close box); 0 while open.
    INT_PTR EndResult() const { return m_nEndResult; }
    // Shows at once what has been gathered for the display timer.
    void FlushDisplay();

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);

    // main_dialog.cpp: start-up, closing, painting.
    BOOL OnInitDialog();
    void InitSystemMenu();
    void InitTitleAndBanner();
    void InitPictures();
    void InitProgressControls();
    void InitLog();
    void OnClose();
    void OnCloseButton();
    void OnDestroy();
    bool OnSysCommand(WPARAM wParam);
    bool OnPaint();
    void RegisterShellNotify();
    void StopJobForClosing();
    void EndProcessWithJob();
    void EndWindow(INT_PTR nResult);

    // main_dialog_commands.cpp: WM_COMMAND and the row buttons.
    void OnCommand(WORD nId, WORD nCode, HWND hControl);
    bool OnRowCommand(WORD nId, WORD nCode);
    void OnOptionClicked(WORD nId);
    void OnProbe(int r);
    void OnEject(int r);
    void OnLockSwitch(int r);
    INT_PTR OnCtlColor(HDC hdc, HWND hControl);

    // main_dialog_picture.cpp: the background picture.
    void DescribePicture();
    COLORREF PicturePixel(LONG x, LONG y) const;
    INT_PTR PictureLabelColours(HDC hdc, HWND hControl);
    void OnDrawItem(const DRAWITEMSTRUCT& item);

    // main_dialog_rows.cpp: the drive list and the rows.
    void BuildDriveList();
    void RefreshDriveList();
    void ApplyRowSelections();
    void RowsToSavedDrives();
    void UpdateRowTexts();
    void UpdateLockMarks(bool bRewrite);
    void UpdateLamps();
    void OnEnableBox(int r);
    void OnDriveSelChange(int r);
    void AfterRowChoice();
    const T_ITEM_DATA* RowItem(int r) const;
    bool RowChecked(int r) const;

    // main_dialog_settings.cpp: the settings file and the controls' state.
    void LoadSettings();
    void ApplyStartupLocks();
    void LoadOptions();
    void SaveOptions();
    T_WINDOW_OPTIONS OptionsShown() const;
    void ShowOptions(const T_WINDOW_OPTIONS& options);
    void UpdateControls();
    T_WINDOW_STATE WindowState() const;

    // main_dialog_jobs.cpp: starting, stopping and ending a job.
    void OnJobButton(int nTask);
    bool PassPreflight(int nTask);
    bool ConfirmDrives(int nTask);
    T_DUMPTASK_PARAM DescribeJob(int nTask);
    bool StartDumpTask();
    void StopDumpTask(bool bClosing);
    void OnStopTimer();
    void OnUserError(WPARAM wParam, LPARAM lParam);
    void OnDumpTaskEnd();
    static DWORD WINAPI JobThreadProc(LPVOID pParam);
    std::array<const T_ITEM_DATA*, ROW_COUNT> CheckedRowItems() const;

    // main_dialog_display.cpp: progress, log, checksum and timers.
    void OnEngineProgress(WPARAM wParam, LPARAM lParam);
    void OnEngineLog(WPARAM wParam, LPARAM lParam);
    void OnChecksumResult(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR nId);
    void OnSecondTimer();
    void ArmRefreshTimer(UINT nMs);
    void OnDeviceChangeMessage(WPARAM wParam);
    void OnShellChangeMessage(WPARAM wParam, LPARAM lParam);
    void ClearAllBars();
    CProgressInfoCtrl& Progress(uint32_t nControlId);

    // main_dialog_image.cpp: the image file.
    void OnImagePathChanged(const std::string& strPath);
    void OnCompressToggled();
    void OnBrowse();
    void RequestChecksum(const std::string& strPath);
    void CancelChecksum();
    void ShowImageSize();
    bool CompressedChosen() const;

    // Ports and objects owned by the window.
    T_WINDOW_PORTS m_ports;
    HWND m_hWnd = nullptr;
    bool m_bModeless = false;
    INT_PTR m_nEndResult = 0;
    HICON m_hIcon = nullptr;
    HICON m_hIconProbe = nullptr;
    HICON m_hIconEject = nullptr;
    HICON m_hIconRefresh = nullptr;
    std::array<HBITMAP, 11> m_bmpLamp{};
    HBRUSH m_hRedBrush = nullptr;
    HBITMAP m_hBackBitmap = nullptr;
    LONG m_nBackWidth = 0;
    LONG m_nBackHeight = 0;
    LONG m_nBackX = 0;
    LONG m_nBackY = 0;
    bool m_bBackDib = false;
    WORD m_nBackBits = 0;
    LONG m_nBackStride = 0;
    const uint8_t* m_pBackFirstRow = nullptr;
    std::unique_ptr<CWindowNotifyTarget> m_pNotify;
    CDriveInfo m_DriveInfo;
    CJobDriveInfo m_JobDriveInfo;
    CVolumeControl m_VolumeControl;
    CHashTask m_HashTask;

    // Drive list and rows.
    std::vector<T_ITEM_DATA> m_arrItem;
    T_DRIVE_ROWS m_rows;
    std::array<T_ROW_TEXT, ROW_COUNT> m_rowText;
    T_SETTINGS m_settings;

    // The job.
    T_DUMPTASK_PARAM m_DumpTaskParam;
    HANDLE m_hDumpTask = nullptr;
    bool m_bDumpTask = false;
    // Stopping: the job was aborted and is aborted again every second
    // until its thread ends; the window never waits for that thread.
    bool m_bStopping = false;
    bool m_bToldNoAnswer = false;  // the log said that a drive does not answer
    std::chrono::steady_clock::time_point m_stopStart;
    // Closing: the window ends when the job has ended, or without it once
    // the patience has passed since m_closeStart.
    bool m_bClosing = false;
    bool m_bEndingProcess = false;
    std::chrono::steady_clock::time_point m_closeStart;
    int m_nEraseMethod = 0;
    uint32_t m_nEjectMask = 0;

    // The image file.
    uint64_t m_nImageSize = 0;
    bool m_bImageExists = false;

    // Timers and display.
    bool m_bBlink = false;
    bool m_bRefreshPending = false;
    CShownSpeeds m_shownSpeeds;
    CLogPieces m_logPieces;
    std::vector<T_LOG_PIECE> m_arrPendingLog;
    std::string m_strPendingRemain;
    bool m_bRemainPending = false;
    UINT m_nShellNotifyId = 0;

    // Controls.
    std::array<CProgressInfoCtrl, 6> m_progress;  // total, rows 0 to 3, image
    std::array<CPushSwitch, ROW_COUNT> m_lock;
    CEditComboBox m_imagePath;
    CRichEditBox m_log;
};
