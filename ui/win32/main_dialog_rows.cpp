// The drive list and the four drive rows: which drive each row shows, its
// text, its LOCK switch and its lamps.
#include <windows.h>

#include "engine/core/win32/text_win32.h"
#include "ui/model/control_ids.h"
#include "ui/model/row_state.h"
#include "ui/win32/main_dialog.h"

namespace {

HWND DriveBox(HWND hDlg, int r)
{
    return ::GetDlgItem(hDlg, static_cast<int>(IDC_ROW_DRIVE[static_cast<size_t>(r)]));
}

}  // namespace

const T_ITEM_DATA* CGravelmoorDlg::RowItem(int r) const
{
    const int nSel = m_rows.nSel[static_cast<size_t>(r)];
    if (nSel < 0 || static_cast<size_t>(nSel) >= m_arrItem.size()) return nullptr;
    return &m_arrItem[static_cast<size_t>(nSel)];
}

bool CGravelmoorDlg::RowChecked(int r) const
{
    return ::IsDlgButtonChecked(m_hWnd, static_cast<int>(IDC_ROW_ENABLE[static_cast<size_t>(r)])) == BST_CHECKED;
}

void CGravelmoorDlg::BuildDriveList()
{
    if (m_bDumpTask) return;
    T_DRIVE_LIST_OPTIONS options;
    options.dwNoScanLetters = m_settings.dwNoScanMask;
    options.dwHideLetters = m_settings.dwHideMask;
    options.dwLockedLetters = m_VolumeControl.LockedLetters();
    options.bShowCDROM = m_settings.bShowCDROM;
    options.bShowFloppy = m_settings.bShowFLOPPY;
    options.bShowRemovableOnly = m_settings.bShowRemovableOnly;
    options.bHideNoDriveLetter = m_settings.bHideNoDriveLetter;
    m_DriveInfo.m_dwNoScanLetters = m_settings.dwNoScanMask;
    m_arrItem = BuildDriveItems(m_DriveInfo, *m_ports.pScanner, *m_ports.pDevices, options);
    for (int r = 0; r < ROW_COUNT; ++r) {
        const HWND hBox = DriveBox(m_hWnd, r);
        ::SendMessageW(hBox, CB_RESETCONTENT, 0, 0);
        for (size_t i = 0; i < m_arrItem.size(); ++i) {
            const LRESULT nPos = ::SendMessageW(hBox, CB_ADDSTRING, 0,
                                                reinterpret_cast<LPARAM>(Utf8ToWide(m_arrItem[i].strText).c_str()));
            ::SendMessageW(hBox, CB_SETITEMDATA, static_cast<WPARAM>(nPos), static_cast<LPARAM>(i));
        }
    }
    m_VolumeControl.ReleaseLostLocks();
    UpdateLockMarks(true);
}

void CGravelmoorDlg::RefreshDriveList()
{
    const std::array<uint32_t, ROW_COUNT> nKeys = m_rows.nKey;
    BuildDriveList();
    m_rows.nKey = nKeys;
    RowsAfterRebuild(m_rows, EntryKeys(m_arrItem));
    ApplyRowSelections();
    UpdateRowTexts();
    UpdateLockMarks(true);
    UpdateControls();
}

void CGravelmoorDlg::RowsToSavedDrives()
{
    RowsAfterRebuild(m_rows, EntryKeys(m_arrItem));
    ApplyRowSelections();
    UpdateRowTexts();
    UpdateLockMarks(true);
}

void CGravelmoorDlg::ApplyRowSelections()
{
    for (int r = 0; r < ROW_COUNT; ++r) {
        ::SendMessageW(DriveBox(m_hWnd, r), CB_SETCURSEL, static_cast<WPARAM>(m_rows.nSel[static_cast<size_t>(r)]),
                       0);
    }
}

void CGravelmoorDlg::UpdateRowTexts()
{
    for (int r = 0; r < ROW_COUNT; ++r) {
        const size_t nRow = static_cast<size_t>(r);
        const T_ROW_TEXT text = RowTextOf(RowItem(r));
        if (text.bReady != m_rowText[nRow].bReady) {
            m_rows.nState[nRow] = RowStateAfterReadyChange(m_rows.nState[nRow], text.bReady);
        }
        m_rowText[nRow] = text;
        m_progress[nRow + 1].SetText(text.strText, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    }
}

void CGravelmoorDlg::UpdateLockMarks(bool bRewrite)
{
    for (int r = 0; r < ROW_COUNT; ++r) {
        const size_t nRow = static_cast<size_t>(r);
        const int nSel = m_rows.nSel[nRow];
        const T_ITEM_DATA* pItem = RowItem(r);
        if (!pItem) {
            m_lock[nRow].SetOn(false);
            continue;
        }
        const bool bLocked = m_VolumeControl.IsDriveLocked(pItem->nKind, pItem->nNumber);
        m_lock[nRow].SetOn(bLocked);
        if (!bRewrite) continue;
        T_ITEM_DATA& item = m_arrItem[static_cast<size_t>(nSel)];
        const std::string strText = WithLockMark(item.strText, bLocked);
        if (strText == item.strText) continue;
        item.strText = strText;
        item.bLocked = bLocked;
        const std::wstring strWide = Utf8ToWide(strText);
        for (int q = 0; q < ROW_COUNT; ++q) {
            const HWND hBox = DriveBox(m_hWnd, q);
            const LRESULT nCur = ::SendMessageW(hBox, CB_GETCURSEL, 0, 0);
            ::SendMessageW(hBox, CB_DELETESTRING, static_cast<WPARAM>(nSel), 0);
            ::SendMessageW(hBox, CB_INSERTSTRING, static_cast<WPARAM>(nSel), reinterpret_cast<LPARAM>(strWide.c_str()));
            ::SendMessageW(hBox, CB_SETITEMDATA, static_cast<WPARAM>(nSel), static_cast<LPARAM>(nSel));
            ::SendMessageW(hBox, CB_SETCURSEL, static_cast<WPARAM>(nCur), 0);
        }
    }
}

void CGravelmoorDlg::UpdateLamps()
{
    for (int r = 0; r < ROW_COUNT; ++r) {
        const size_t nRow = static_cast<size_t>(r);
        const T_ROW_LAMPS lamps = RowLamps(RowLampWord(m_rows.nState[nRow], RowChecked(r)), m_bBlink);
        const std::array<std::pair<uint32_t, uint32_t>, 2> arrLamps = {
            std::pair{IDC_ROW_UPPER_LAMP[nRow], lamps.nUpper}, std::pair{IDC_ROW_LOWER_LAMP[nRow], lamps.nLower}};
        for (const auto& [nId, nBitmap] : arrLamps) {
            const HWND hLamp = ::GetDlgItem(m_hWnd, static_cast<int>(nId));
            const HBITMAP hBitmap = LampBitmap(nBitmap);
            if (reinterpret_cast<HBITMAP>(::SendMessageW(hLamp, STM_GETIMAGE, IMAGE_BITMAP, 0)) != hBitmap) {
                ::SendMessageW(hLamp, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hBitmap));
            }
        }
    }
}

void CGravelmoorDlg::OnEnableBox(int r)
{
    const HWND hEnable = ::GetDlgItem(m_hWnd, static_cast<int>(IDC_ROW_ENABLE[static_cast<size_t>(r)]));
    ::EnableWindow(DriveBox(m_hWnd, r), ::IsWindowEnabled(hEnable) && RowChecked(r));
    EnableBoxClicked(m_rows, r, EntryKeys(m_arrItem));
    AfterRowChoice();
}

void CGravelmoorDlg::OnDriveSelChange(int r)
{
    const int nPos = static_cast<int>(::SendMessageW(DriveBox(m_hWnd, r), CB_GETCURSEL, 0, 0));
    DriveChosen(m_rows, r, nPos, EntryKeys(m_arrItem));
    AfterRowChoice();
}

void CGravelmoorDlg::AfterRowChoice()
{
    ApplyRowSelections();
    UpdateRowTexts();
    UpdateLockMarks(true);
    UpdateControls();
}
