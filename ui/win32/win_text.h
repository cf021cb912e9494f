#pragma once
// Window texts in the program's UTF-8: read and set a window's or a dialog
// item's text, converting only at the Win32 call.
#include <windows.h>

#include <string>
#include <string_view>

std::string GetWindowTextUtf8(HWND hWnd);
std::string GetItemTextUtf8(HWND hDlg, int nId);
void SetWindowTextUtf8(HWND hWnd, std::string_view strText);
void SetItemTextUtf8(HWND hDlg, int nId, std::string_view strText);
// A message box with UTF-8 texts; returns the button pressed.
int MessageBoxUtf8(HWND hOwner, std::string_view strText, std::string_view strCaption, UINT uType);
