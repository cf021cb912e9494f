#pragma once
// The CLI's terminal port: what the front end needs of the console, with a
// POSIX and a Win32 adapter.
#include <string>
#include <string_view>
#include <vector>

enum class EStream { Input = 0, Output = 1, Error = 2 };

// Whether the stream is an interactive terminal.
bool IsTerminal(EStream eStream);
// Prepares the console: UTF-8 output and colour sequences where the
// platform needs to be asked for them.
void PrepareConsole();
// Reads one line typed by the operator, without its line end; false at end
// of input or when there is no terminal to ask.
bool ReadTerminalLine(std::string& strLine);
// Calls pfnHandler (from a signal or console handler context: it may only
// set flags) when the operator presses Ctrl-C.
void InstallInterruptHandler(void (*pfnHandler)());
void WriteOut(EStream eStream, std::string_view strText);
// The program's arguments as UTF-8 (on Windows from the wide command line,
// since argv there is in the ANSI code page).
std::vector<std::string> GetUtf8Arguments(int argc, char** argv);
