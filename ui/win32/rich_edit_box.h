#pragma once
// The log view: a read-only rich-edit control that appends pieces of text
// in their own colours and effects, drops whole lines from the top when it
// grows past its limit, and offers copy, select-all and clear on a context
// menu (clearing asks first, No being the default answer).
#include <windows.h>

#include <string>

#include "ui/model/log_pieces.h"

class CRichEditBox {
public:
    void Attach(HWND hWnd);
    HWND Window() const { return m_hWnd; }

    void Append(const T_LOG_PIECE& piece);
    // The whole text, lines ending in "\n" (the control's own "\r" ends are
    // given as "\n" too).
    std::string Text() const;
    // Collapses the selection to its end (the log got the focus).
    void CollapseSelection();

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, UINT_PTR uId,
                                         DWORD_PTR dwRef);
    void ShowMenu(LPARAM lPoint);
    void OnMenuCommand(WPARAM wParam);
    // Whole lines leave from the top, in one step, so that the text and
    // the coming piece fit below the limit less its margin (or the log is
    // empty).
    void TrimForRoom(size_t nComing);
    LONG TextLength() const;

    HWND m_hWnd = nullptr;
};
