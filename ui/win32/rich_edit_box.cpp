#include "ui/win32/rich_edit_box.h"

#include <windows.h>

#include <commctrl.h>
#include <richedit.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "engine/core/debug_trace.h"
#include "engine/core/win32/text_win32.h"

namespace {

constexpr UINT_PTR LOG_SUBCLASS_ID = 0x4C4F;

CHARFORMAT2W FormatOf(HWND hWnd, const T_LOG_FORMAT& format)
{
    CHARFORMAT2W cf{};
    cf.cbSize = sizeof cf;
    ::SendMessageW(hWnd, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
    cf.dwMask = CFM_COLOR | CFM_BACKCOLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT;
    cf.dwEffects = (format.bBold ? CFE_BOLD : 0) | (format.bItalic ? CFE_ITALIC : 0) |
                   (format.bUnderline ? CFE_UNDERLINE : 0) | (format.bStrikeOut ? CFE_STRIKEOUT : 0);
    cf.crTextColor = format.crText;
    cf.crBackColor = format.crBack;
    return cf;
}

}  // namespace

void CRichEditBox::Attach(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetWindowSubclass(hWnd, SubclassProc, LOG_SUBCLASS_ID, reinterpret_cast<DWORD_PTR>(this));
}

LONG CRichEditBox::TextLength() const
{
    GETTEXTLENGTHEX gtl{GTL_NUMCHARS, 1200};
    return static_cast<LONG>(::SendMessageW(m_hWnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&gtl), 0));
}

void CRichEditBox::TrimForRoom(size_t nComing)
{
    const size_t nLimit = static_cast<size_t>(::SendMessageW(m_hWnd, EM_GETLIMITTEXT, 0, 0));
    const LONG nLength = TextLength();
    const size_t nExcess = LogExcess(static_cast<size_t>(nLength), nComing, nLimit);
    if (nExcess == 0) return;
    // The log's beginning up to one line's room past what must leave.
    const LONG nHead = static_cast<LONG>(std::min(static_cast<size_t>(nLength), nExcess + LOG_TRIM_LINE_CHARS));
    std::wstring strHead(static_cast<size_t>(nHead) + 1, L'\0');
    TEXTRANGEW range{{0, nHead}, strHead.data()};
    const LRESULT nGot = ::SendMessageW(m_hWnd, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    strHead.resize(static_cast<size_t>(nGot > 0 ? nGot : 0));
    const size_t nCut = LogCutLength(std::u16string(strHead.begin(), strHead.end()), nExcess);
    CHARRANGE cut{0, static_cast<LONG>(std::max(nCut, nExcess))};
    ::SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&cut));
    ::SendMessageW(m_hWnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
}

void CRichEditBox::Append(const T_LOG_PIECE& piece)
{
    const std::wstring strPiece = Utf8ToWide(piece.strText);
    ::SendMessageW(m_hWnd, EM_HIDESELECTION, TRUE, 0);
    TrimForRoom(strPiece.size());
    ::SendMessageW(m_hWnd, EM_HIDESELECTION, FALSE, 0);
    const LONG nEnd = TextLength();
    CHARRANGE range{nEnd, nEnd};
    ::SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W cf = FormatOf(m_hWnd, piece.format);
    ::SendMessageW(m_hWnd, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
    ::SendMessageW(m_hWnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(strPiece.c_str()));
}

std::string CRichEditBox::Text() const
{
    std::string strText = GetWindowTextUtf8(m_hWnd);
    std::string strOut;
    strOut.reserve(strText.size());
    for (size_t i = 0; i < strText.size(); ++i) {
        if (strText[i] == '\r') {
            strOut += '\n';
            if (i + 1 < strText.size() && strText[i + 1] == '\n') ++i;
        } else {
            strOut += strText[i];
        }
    }
    return strOut;
}

void CRichEditBox::CollapseSelection()
{
    CHARRANGE range{};
    ::SendMessageW(m_hWnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    range.cpMin = range.cpMax;
    ::SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
}

void CRichEditBox::ShowMenu(LPARAM lPoint)
{
    const HMENU hMenu = ::CreatePopupMenu();
    ::AppendMenuW(hMenu, MF_STRING, MENU_ID_COPY, Utf8ToWide(MENU_TEXT_COPY).c_str());
    ::AppendMenuW(hMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(hMenu, MF_STRING, MENU_ID_ALLSEL, Utf8ToWide(MENU_TEXT_ALLSEL).c_str());
    ::AppendMenuW(hMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(hMenu, MF_STRING, MENU_ID_CLEAR, Utf8ToWide(MENU_TEXT_CLEAR).c_str());
    POINT pt{GET_X_LPARAM(lPoint), GET_Y_LPARAM(lPoint)};
    ::ClientToScreen(m_hWnd, &pt);
    // The command comes back as the call's result: a WM_COMMAND would carry
    // only the low 16 bits of the ids, which the three items share.
    const BOOL nCommand = ::TrackPopupMenu(hMenu, TPM_RIGHTBUTTON | TPM_RETURNCMD, pt.x, pt.y, 0, m_hWnd, nullptr);
    ::DestroyMenu(hMenu);
    if (nCommand != 0) OnMenuCommand(static_cast<WPARAM>(static_cast<UINT>(nCommand)));
}

void CRichEditBox::OnMenuCommand(WPARAM wParam)
{
    switch (LogMenuCommandOf(static_cast<uint32_t>(wParam))) {
    case ELogMenuCommand::Copy:
        DebugTrace("MENU_ID_COPY\n");
        ::SendMessageW(m_hWnd, WM_COPY, 0, 0);
        break;
    case ELogMenuCommand::SelectAll: {
        DebugTrace("MENU_ID_ALLSEL\n");
        CHARRANGE range{0, -1};
        ::SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        break;
    }
    case ELogMenuCommand::Clear:
        DebugTrace("MENU_ID_CLEAR\n");
        if (MessageBoxUtf8(m_hWnd, LOG_CLEAR_QUESTION, "Gravelmoor", MB_YESNO | MB_DEFBUTTON2) == IDYES) {
            CHARRANGE range{0, -1};
            ::SendMessageW(m_hWnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
            ::SendMessageW(m_hWnd, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
        }
        break;
    case ELogMenuCommand::None:
        break;
    }
}

LRESULT CALLBACK CRichEditBox::SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR dwRef)
{
    auto* pThis = reinterpret_cast<CRichEditBox*>(dwRef);
    switch (uMsg) {
    case WM_RBUTTONDOWN:
        pThis->ShowMenu(lParam);
        return 0;
    case WM_COMMAND:
        pThis->OnMenuCommand(wParam);
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(hWnd, SubclassProc, LOG_SUBCLASS_ID);
        pThis->m_hWnd = nullptr;
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hWnd, uMsg, wParam, lParam);
}
