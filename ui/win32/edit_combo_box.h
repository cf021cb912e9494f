#pragma once
// The image path box: a combo box with the history of image paths. Its
// text is the selected history entry, or the typed text when none is
// selected. A text set by the program is announced to the owner as if it
// had been typed (CBN_EDITUPDATE, then CBN_EDITCHANGE, both posted).
#include <windows.h>

#include <string>
#include <vector>

class CEditComboBox {
public:
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Window() const { return m_hWnd; }

    std::string GetText() const;
    // Clears the selection, sets the text and posts the two notifications.
    void SetText(const std::string& strText);
    // The history, most recent first.
    std::vector<std::string> Entries() const;
    void SetEntries(const std::vector<std::string>& arrEntries);
    // Puts the box's text at the top of the history (ui/model's rule) and
    // shows it, without notifications.
    void PutTextInHistory();

private:
    HWND m_hWnd = nullptr;
};
