// Developer trace lines go to the debugger's output (DebugView, WinDbg,
// Visual Studio); the operator never sees them.
#include <windows.h>

#include "engine/core/debug_trace.h"
#include "engine/core/win32/text_win32.h"

void PlatformDebugTrace(std::string_view strLine)
{
    ::OutputDebugStringW(Utf8ToWide(strLine).c_str());
}
