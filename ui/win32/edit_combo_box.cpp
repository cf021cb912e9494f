#include "ui/win32/edit_combo_box.h"

#include <windows.h>

#include "engine/core/win32/text_win32.h"
#include "ui/model/image_history.h"

namespace {

std::string EntryText(HWND hWnd, LRESULT nIndex)
{
    const LRESULT nLength = ::SendMessageW(hWnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex), 0);
    if (nLength == CB_ERR) return {};
    std::wstring strText(static_cast<size_t>(nLength) + 1, L'\0');
    ::SendMessageW(hWnd, CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(strText.data()));
    strText.resize(static_cast<size_t>(nLength));
    return WideToUtf8(strText);
}

}  // namespace

std::string CEditComboBox::GetText() const
{
    const LRESULT nSel = ::SendMessageW(m_hWnd, CB_GETCURSEL, 0, 0);
    if (nSel != CB_ERR) return EntryText(m_hWnd, nSel);
    return GetWindowTextUtf8(m_hWnd);
}

void CEditComboBox::SetText(const std::string& strText)
{
    ::SendMessageW(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextUtf8(m_hWnd, strText);
    HWND hOwner = ::GetWindow(m_hWnd, GW_OWNER);
    if (!hOwner) hOwner = ::GetParent(m_hWnd);
    const WPARAM nId = static_cast<WPARAM>(::GetDlgCtrlID(m_hWnd));
    ::PostMessageW(hOwner, WM_COMMAND, MAKEWPARAM(nId, CBN_EDITUPDATE), reinterpret_cast<LPARAM>(m_hWnd));
    ::PostMessageW(hOwner, WM_COMMAND, MAKEWPARAM(nId, CBN_EDITCHANGE), reinterpret_cast<LPARAM>(m_hWnd));
}

std::vector<std::string> CEditComboBox::Entries() const
{
    std::vector<std::string> arrEntries;
    const LRESULT nCount = ::SendMessageW(m_hWnd, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < nCount; ++i) arrEntries.push_back(EntryText(m_hWnd, i));
    return arrEntries;
}

void CEditComboBox::SetEntries(const std::vector<std::string>& arrEntries)
{
    const std::string strText = GetWindowTextUtf8(m_hWnd);
    ::SendMessageW(m_hWnd, CB_RESETCONTENT, 0, 0);
    for (const std::string& strEntry : arrEntries) {
        ::SendMessageW(m_hWnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(strEntry).c_str()));
    }
    SetWindowTextUtf8(m_hWnd, strText);
}

void CEditComboBox::PutTextInHistory()
{
    const std::string strText = GetText();
    std::vector<std::string> arrEntries = Entries();
    PutInHistory(arrEntries, strText);
    SetEntries(arrEntries);
    ::SendMessageW(m_hWnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextUtf8(m_hWnd, strText);
}
