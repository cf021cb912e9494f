// Win32 adapter of the terminal port: the standard streams and the text
// written to them. Text is UTF-8 inside; a console gets it as UTF-16
// (WriteConsoleW), a file or pipe gets the UTF-8 bytes as they are
// (WriteFile). The console's own settings are put back at exit, since the
// console outlives the program (cmd.exe shares it). Stop requests and
// terminal input are in stop_win32.cpp.
#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <cstdlib>

#include "cli/console.h"
#include "engine/core/win32/text_win32.h"

namespace {

HANDLE HandleOf(EStream eStream)
{
    switch (eStream) {
    case EStream::Input: return ::GetStdHandle(STD_INPUT_HANDLE);
    case EStream::Output: return ::GetStdHandle(STD_OUTPUT_HANDLE);
    case EStream::Error: return ::GetStdHandle(STD_ERROR_HANDLE);
    }
    return nullptr;
}

bool IsMissing(HANDLE hStream)
{
    return hStream == nullptr || hStream == INVALID_HANDLE_VALUE;
}

bool IsConsole(HANDLE hStream)
{
    DWORD dwMode = 0;
    return !IsMissing(hStream) && ::GetConsoleMode(hStream, &dwMode);
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

uint32_t WriteToConsole(HANDLE hStream, std::string_view strText)
{
    const std::wstring strWide = Utf8ToWide(strText);
    const wchar_t* p = strWide.data();
    size_t nLeft = strWide.size();
    while (nLeft > 0) {
        DWORD nDone = 0;
        DWORD nChunk = nLeft > 0x4000 ? 0x4000 : static_cast<DWORD>(nLeft);
        // Never split a surrogate pair between two writes.
        if (nChunk < nLeft && IS_HIGH_SURROGATE(p[nChunk - 1])) --nChunk;
        if (!::WriteConsoleW(hStream, p, nChunk, &nDone, nullptr)) return ::GetLastError();
        if (nDone == 0) return ERROR_WRITE_FAULT;
        p += nDone;
        nLeft -= nDone;
    }
    return 0;
}

uint32_t WriteToFile(HANDLE hStream, std::string_view strText)
{
    const char* p = strText.data();
    size_t nLeft = strText.size();
    while (nLeft > 0) {
        DWORD nDone = 0;
        const DWORD nChunk = nLeft > 0x100000 ? 0x100000 : static_cast<DWORD>(nLeft);
        if (!::WriteFile(hStream, p, nChunk, &nDone, nullptr)) return ::GetLastError();
        if (nDone == 0) return ERROR_WRITE_FAULT;
        p += nDone;
        nLeft -= nDone;
    }
    return 0;
}

}  // namespace

// Nothing to do on Windows. The engine opens drives and images with
// CreateFileW, whose HANDLEs never take the place of a missing standard
// handle (unlike the lowest free descriptor on POSIX), and this adapter
// writes through GetStdHandle, treating a missing stream like the null
// device. The C run-time's descriptors 0 to 2 are not used for I/O.
bool EnsureStandardStreams()
{
    return true;
}

EStreamKind StreamKindOf(EStream eStream)
{
    HANDLE hStream = HandleOf(eStream);
    if (IsMissing(hStream)) return EStreamKind::Closed;
    if (IsConsole(hStream)) return EStreamKind::Terminal;
    return ::GetFileType(hStream) == FILE_TYPE_PIPE ? EStreamKind::Pipe : EStreamKind::File;
}

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
        if (IsMissing(hStream) || !::GetConsoleMode(hStream, &dwMode)) continue;
        if (::SetConsoleMode(hStream, dwMode | ENABLE_VIRTUAL_TERMINAL_PROCESSING)) {
            g_saved.hStreams[i] = hStream;
            g_saved.dwModes[i] = dwMode;
        }
    }
    std::atexit(RestoreConsole);
}

uint32_t WriteOut(EStream eStream, std::string_view strText)
{
    if (eStream == EStream::Input || strText.empty()) return 0;
    HANDLE hStream = HandleOf(eStream);
    if (IsMissing(hStream)) return 0;
    return IsConsole(hStream) ? WriteToConsole(hStream, strText) : WriteToFile(hStream, strText);
}

// Console control handlers run on a thread of their own, not inside a
// signal: the ordinary write is safe there.
void WriteOutFromSignal(EStream eStream, std::string_view strText)
{
    WriteOut(eStream, strText);
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

std::string GetEnvironmentText(const char* pName)
{
    const std::wstring strName = Utf8ToWide(pName);
    const DWORD nSize = ::GetEnvironmentVariableW(strName.c_str(), nullptr, 0);
    if (nSize == 0) return std::string();
    std::wstring strValue(nSize, L'\0');
    const DWORD nCopied = ::GetEnvironmentVariableW(strName.c_str(), strValue.data(), nSize);
    strValue.resize(nCopied < nSize ? nCopied : 0);
    return WideToUtf8(strValue);
}
