#pragma once
// Developer trace lines: the platform's debug output, never the operator's
// log (on POSIX: standard error, only when GRAVELMOOR_TRACE is set).
#include <string_view>

void DebugTrace(std::string_view strLine);

// Test hook: while one is set, every trace line is handed to it as well,
// on the tracing thread. Null removes it.
using DEBUG_TRACE_HOOK = void (*)(std::string_view strLine);
void SetDebugTraceHook(DEBUG_TRACE_HOOK pHook);

// The platform's output of one line (in its platform facts file);
// DebugTrace calls it.
void PlatformDebugTrace(std::string_view strLine);
