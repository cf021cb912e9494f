// The facts of Windows the portable core asks for: error codes and their
// texts from the system's message tables (NTDLL's included, so that NT
// status codes have text too), where developer trace lines go (the
// debugger's output: DebugView, WinDbg, Visual Studio; the operator never
// sees them), and a text file's line end, as a file written in text mode
// has it.
#include <windows.h>

#include "engine/core/debug_trace.h"
#include "engine/core/format.h"
#include "engine/core/system_error.h"
#include "engine/core/win32/text_win32.h"

namespace {

// Allocate the buffer, look in the given module and then in the system.
// Inserts ("%1") are left as they stand: the caller has no arguments for
// them, and without this flag a text with inserts is lost (or worse).
constexpr DWORD MESSAGE_FLAGS = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS;
// Neutral language, default sub-language.
constexpr DWORD MESSAGE_LANGUAGE = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

// The text without carriage returns: a text that ends in CR LF ends in one
// line feed.
std::wstring WithoutCarriageReturns(const wchar_t* pText, DWORD nLength)
{
    std::wstring strText;
    strText.reserve(nLength);
    for (DWORD i = 0; i < nLength; ++i) {
        if (pText[i] != L'\r') strText.push_back(pText[i]);
    }
    return strText;
}

}  // namespace

std::string GetSystemErrorText(uint32_t nCode)
{
    HMODULE hNtdll = ::LoadLibraryW(L"NTDLL.DLL");
    wchar_t* pBuffer = nullptr;
    const DWORD nLength = ::FormatMessageW(MESSAGE_FLAGS, hNtdll, nCode, MESSAGE_LANGUAGE,
                                           reinterpret_cast<wchar_t*>(&pBuffer), 0, nullptr);
    std::wstring strText;
    if (nLength > 0 && pBuffer) strText = WithoutCarriageReturns(pBuffer, nLength);
    if (pBuffer) ::LocalFree(pBuffer);
    if (hNtdll) ::FreeLibrary(hNtdll);
    return WideToUtf8(strText);
}

namespace SystemError {
uint32_t FileExists() { return ERROR_FILE_EXISTS; }
uint32_t NoMemory() { return ERROR_NOT_ENOUGH_MEMORY; }
uint32_t IoError() { return ERROR_CRC; }
uint32_t NotReady() { return ERROR_NOT_READY; }
uint32_t NotSupported() { return ERROR_NOT_SUPPORTED; }
uint32_t DiskFull() { return ERROR_DISK_FULL; }
uint32_t Cancelled() { return ERROR_OPERATION_ABORTED; }
bool IsInUse(uint32_t nCode) { return nCode == ERROR_SHARING_VIOLATION; }
bool IsNotFound(uint32_t nCode) { return nCode == ERROR_FILE_NOT_FOUND || nCode == ERROR_PATH_NOT_FOUND; }
bool IsNoRoom(uint32_t nCode)
{
    constexpr uint32_t ERROR_DISK_QUOTA_EXCEEDED = 1295;  // not in every SDK's headers
    return nCode == ERROR_DISK_FULL || nCode == ERROR_HANDLE_DISK_FULL || nCode == ERROR_FILE_TOO_LARGE ||
           nCode == ERROR_DISK_QUOTA_EXCEEDED;
}
}  // namespace SystemError

void PlatformDebugTrace(std::string_view strLine)
{
    ::OutputDebugStringW(Utf8ToWide(strLine).c_str());
}

std::string_view TextFileLineEnd()
{
    return "\r\n";
}
