#include <cstdio>
#include <cstdlib>

#include "engine/core/debug_trace.h"

void PlatformDebugTrace(std::string_view strLine)
{
    static const bool bEnabled = std::getenv("GRAVELMOOR_TRACE") != nullptr;
    if (bEnabled) std::fwrite(strLine.data(), 1, strLine.size(), stderr);
}
