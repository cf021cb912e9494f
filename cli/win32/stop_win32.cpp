// Win32 adapter of the stop requests and of the questions asked on the
// console. The console's control events are the stop requests: Ctrl-C and
// Ctrl-Break, closing the console window, the system shutting down. A
// process started with Ctrl-C disabled (CREATE_NEW_PROCESS_GROUP) is never
// called for Ctrl-C, so that choice is kept without asking.
//
// The system runs the control handler on a thread of its own, so nothing
// like a signal interrupts the main thread. A question needs no help from
// it: a cooked-mode console read ends by itself on Ctrl-C (ReadConsoleW
// returns no characters with ERROR_OPERATION_ABORTED). The handler may
// still be on its way at that moment, so after an empty read the question
// waits briefly for the handler's event: the front end then sees the stop
// together with the answer No. Closing the console and shutting down end
// the process as soon as the handler returns; the handler therefore waits
// there until the main thread has stopped the job and ended the process
// (the system allows it a few seconds).
#include <windows.h>

#include <atomic>
#include <iterator>
#include <mutex>

#include "cli/console.h"
#include "engine/core/win32/text_win32.h"

namespace {

constexpr wchar_t END_OF_INPUT = L'\x1A';  // Ctrl-Z typed at the console
constexpr DWORD HANDLER_GRACE_MS = 250;

std::atomic<void (*)(EStopSignal)> g_pfnStop{nullptr};
HANDLE g_hStopEvent = nullptr;  // manual reset; set on the first stop request

BOOL WINAPI ConsoleCtrlHandler(DWORD dwCtrlType)
{
    EStopSignal eSignal = EStopSignal::Interrupt;
    switch (dwCtrlType) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT: eSignal = EStopSignal::Interrupt; break;
    case CTRL_CLOSE_EVENT: eSignal = EStopSignal::HangUp; break;
    case CTRL_SHUTDOWN_EVENT: eSignal = EStopSignal::Terminate; break;
    default: return FALSE;  // the system's default
    }
    auto pfn = g_pfnStop.load();
    if (!pfn) return FALSE;
    pfn(eSignal);
    if (g_hStopEvent) ::SetEvent(g_hStopEvent);
    if (eSignal != EStopSignal::Interrupt) ::Sleep(INFINITE);  // the main thread ends the process
    return TRUE;
}

bool StopWasRequested()
{
    return g_hStopEvent && ::WaitForSingleObject(g_hStopEvent, 0) == WAIT_OBJECT_0;
}

// Reads console line input until the line end; false when nothing came
// (Ctrl-C, or the console went away).
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

// The console itself, even when standard input is redirected.
bool ReadConsoleInputLine(std::wstring& strWide)
{
    HANDLE hInput = ::CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    if (hInput == INVALID_HANDLE_VALUE) return false;
    DWORD dwMode = 0;
    bool bOk = false;
    if (::GetConsoleMode(hInput, &dwMode)) {
        ::SetConsoleMode(hInput, dwMode | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
        bOk = ReadConsoleLine(hInput, strWide);
        ::SetConsoleMode(hInput, dwMode);
    }
    ::CloseHandle(hInput);
    return bOk;
}

}  // namespace

void InstallStopHandler(void (*pfnHandler)(EStopSignal))
{
    static std::once_flag registered;
    g_pfnStop.store(pfnHandler);
    std::call_once(registered, [] {
        g_hStopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ::SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE);
    });
}

const char* StopSignalText(EStopSignal eSignal)
{
    switch (eSignal) {
    case EStopSignal::Interrupt: return "Ctrl-C";
    case EStopSignal::Terminate: return "the system shutting down";
    case EStopSignal::HangUp: return "closing the console";
    }
    return "a stop request";
}

bool ReadTerminalLine(std::string& strLine)
{
    strLine.clear();
    if (StopWasRequested()) return false;
    std::wstring strWide;
    if (!ReadConsoleInputLine(strWide)) {
        if (g_hStopEvent) ::WaitForSingleObject(g_hStopEvent, HANDLER_GRACE_MS);
        return false;
    }
    if (StopWasRequested() || (!strWide.empty() && strWide.front() == END_OF_INPUT)) return false;
    while (!strWide.empty() && (strWide.back() == L'\n' || strWide.back() == L'\r')) strWide.pop_back();
    strLine = WideToUtf8(strWide);
    return true;
}

// Control handlers never run on the program's own threads: nothing to block.
std::thread StartBackgroundThread(std::function<void()> fn)
{
    return std::thread(std::move(fn));
}
