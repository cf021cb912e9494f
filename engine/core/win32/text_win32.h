#pragma once
// Text is UTF-8 everywhere inside the program; Win32 calls take UTF-16.
// These two are the only conversions, made right at the call; the window
// texts below go through them.
#include <windows.h>

#include <string>
#include <string_view>

// Invalid UTF-8 sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view strText);
// Unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view strText);

// Window texts in UTF-8: a window's or a dialog item's text, read and set.
std::string GetWindowTextUtf8(HWND hWnd);
std::string GetItemTextUtf8(HWND hDlg, int nId);
void SetWindowTextUtf8(HWND hWnd, std::string_view strText);
void SetItemTextUtf8(HWND hDlg, int nId, std::string_view strText);
// A message box with UTF-8 texts; returns the button pressed.
int MessageBoxUtf8(HWND hOwner, std::string_view strText, std::string_view strCaption, UINT uType);
