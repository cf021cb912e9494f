// Win32 adapter of the terminal port. Text is UTF-8 inside; a console gets
// it as UTF-16 (WriteConsoleW), a file or pipe gets the UTF-8 bytes as they
// are (WriteFile). The console's own settings are put back at exit, since
// the console outlives the program (cmd.exe shares it).
#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <atomic>
#include <cstdlib>
#include <iterator>
#include <mutex>

#include "cli/console.h"
#include "engine/core/win32/text_win32.h"

namespace {

constexpr wchar_t END_OF_INPUT = L'\x1A';  // Ctrl-Z typed at the console

HANDLE HandleOf(EStream eStream)
{
    switch (eStream) {
    case EStream::Input: return ::GetStdHandle(STD_INPUT_HANDLE);
    case EStream::Output: return ::GetStdHandle(STD_OUTPUT_HANDLE);
    case EStream::Error: return ::GetStdHandle(STD_ERROR_HANDLE);
    }
    return nullptr;
}

bool IsConsole(HANDLE hStream)
{
    DWORD dwMode = 0;
    return hStream != nullptr && hStream != INVALID_HANDLE_VALUE && ::GetConsoleMode(hStream, &dwMode);
}

// What PrepareConsole changed, for the restore at exit.
struct T_SAVED_CONSOLE {
    UINT uOutputCodePage = 0;
    HANDLE hStreams[2] = {nullptr, nullptr};
    DWORD dwModes[2] = {0, 0};
};
T_SAVED_CONSOLE g_saved;

void RestoreConsole()
{
    for (int i = 0; i < 2; ++i) {
        if (g_saved.hStreams[i]) ::SetConsoleMode(g_saved.hStreams[i], g_saved.dwModes[i]);
    }
    if (g_saved.uOutputCodePage) ::SetConsoleOutputCP(g_saved.uOutputCodePage);
}

std::atomic<void (*)()> g_pfnInterrupt{nullptr};

BOOL WINAPI ConsoleCtrlHandler(DWORD dwCtrlType)
{
    if (dwCtrlType != CTRL_C_EVENT && dwCtrlType != CTRL_BREAK_EVENT) return FALSE;
    auto pfn = g_pfnInterrupt.load();
    if (!pfn) return FALSE;  // the system's default: end the process
    pfn();
    return TRUE;
}

// Reads console line input until the line end; false when nothing came
// (the read was interrupted, or the console went away).
bool ReadConsoleLine(HANDLE hInput, std::wstring& strLine)
{
    wchar_t buffer[256];
    for (;;) {
        DWORD nRead = 0;
        if (!::ReadConsoleW(hInput, buffer, static_cast<DWORD>(std::size(buffer)), &nRead, nullptr) || nRead == 0)
            return false;
        strLine.append(buffer, nRead);
        if (strLine.back() == L'\n') return true;
    }
}

void WriteToConsole(HANDLE hStream, std::string_view strText)
{
    const std::wstring strWide = Utf8ToWide(strText);
    const wchar_t* p = strWide.data();
    size_t nLeft = strWide.size();
    while (nLeft > 0) {
        DWORD nDone = 0;
        DWORD nChunk = nLeft > 0x4000 ? 0x4000 : static_cast<DWORD>(nLeft);
        // Never split a surrogate pair between two writes.
        if (nChunk < nLeft && IS_HIGH_SURROGATE(p[nChunk - 1])) --nChunk;
        if (!::WriteConsoleW(hStream, p, nChunk, &nDone, nullptr) || nDone == 0) return;
        p += nDone;
        nLeft -= nDone;
    }
}

void WriteToFile(HANDLE hStream, std::string_view strText)
{
    const char* p = strText.data();
    size_t nLeft = strText.size();
    while (nLeft > 0) {
        DWORD nDone = 0;
        const DWORD nChunk = nLeft > 0x100000 ? 0x100000 : static_cast<DWORD>(nLeft);
        if (!::WriteFile(hStream, p, nChunk, &nDone, nullptr) || nDone == 0) return;
        p += nDone;
        nLeft -= nDone;
    }
}

}  // namespace

bool IsTerminal(EStream eStream)
{
    return ::_isatty(static_cast<int>(eStream)) != 0 && IsConsole(HandleOf(eStream));
}

void PrepareConsole()
{
    static bool bPrepared = false;
    if (bPrepared) return;
    bPrepared = true;
    g_saved.uOutputCodePage = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
    const EStream streams[2] = {EStream::Output, EStream::Error};
    for (int i = 0; i < 2; ++i) {
        HANDLE hStream = HandleOf(streams[i]);
        DWORD dwMode = 0;
        if (hStream == nullptr || hStream == INVALID_HANDLE_VALUE || !::GetConsoleMode(hStream, &dwMode)) continue;
        if (::SetConsoleMode(hStream, dwMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
            g_saved.hStreams[i] = hStream;
            g_saved.dwModes[i] = dwMode;
        }
    }
    std::atexit(RestoreConsole);
}

bool ReadTerminalLine(std::string& strLine)
{
    strLine.clear();
    // The console itself, even when standard input is redirected.
    HANDLE hInput = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    if (hInput == INVALID_HANDLE_VALUE) return false;
    DWORD dwMode = 0;
    bool bOk = false;
    std::wstring strWide;
    if (::GetConsoleMode(hInput, &dwMode)) {
        ::SetConsoleMode(hInput, dwMode | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
        bOk = ReadConsoleLine(hInput, strWide);
        ::SetConsoleMode(hInput, dwMode);
    }
    ::CloseHandle(hInput);
    if (!bOk || (!strWide.empty() && strWide.front() == END_OF_INPUT)) return false;
    while (!strWide.empty() && (strWide.back() == L'\n' || strWide.back() == L'\r')) strWide.pop_back();
    strLine = WideToUtf8(strWide);
    return true;
}

void InstallInterruptHandler(void (*pfnHandler)())
{
    static std::once_flag registered;
    g_pfnInterrupt.store(pfnHandler);
    std::call_once(registered, [] { ::SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE); });
}

void WriteOut(EStream eStream, std::string_view strText)
{
    if (eStream == EStream::Input || strText.empty()) return;
    HANDLE hStream = HandleOf(eStream);
    if (hStream == nullptr || hStream == INVALID_HANDLE_VALUE) return;
    if (IsConsole(hStream))
        WriteToConsole(hStream, strText);
    else
        WriteToFile(hStream, strText);
}

std::vector<std::string> GetUtf8Arguments(int argc, char** argv)
{
    int nArgs = 0;
    LPWSTR* ppArgs = ::CommandLineToArgvW(::GetCommandLineW(), &nArgs);
    if (!ppArgs) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < nArgs; ++i) args.push_back(WideToUtf8(ppArgs[i]));
    ::LocalFree(ppArgs);
    return args;
}
