#include "engine/core/debug_trace.h"

#include <atomic>

namespace {
std::atomic<DEBUG_TRACE_HOOK> g_pDebugTraceHook{nullptr};
}

void SetDebugTraceHook(DEBUG_TRACE_HOOK pHook)
{
    g_pDebugTraceHook.store(pHook);
}

void DebugTrace(std::string_view strLine)
{
    if (const DEBUG_TRACE_HOOK pHook = g_pDebugTraceHook.load()) pHook(strLine);
    PlatformDebugTrace(strLine);
}
