#pragma once
// Developer trace lines: the platform's debug output, never the operator's
// log (on POSIX: standard error, only when GRAVELMOOR_TRACE is set).
#include <string_view>

void DebugTrace(std::string_view strLine);
