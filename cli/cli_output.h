#pragma once
// Turns the engine's messages into terminal output: log lines on standard
// output (with their prefix, coloured from the style word on a terminal),
// and one progress line on standard error, only on a terminal.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/notify_queue.h"

// The ANSI colour and style sequence for a log word; empty for plain text.
std::string AnsiStyleOf(uint32_t dwWord);
// A log line as printed: prefix, text, colour per line when bColour.
std::string RenderLogLine(uint32_t dwWord, std::string_view strText, bool bColour);
// "42.5%  12.35MB/s  remaining 0:01:05" (parts not known yet are left out).
std::string RenderProgress(int64_t nPerMille, std::string_view strSpeed, int64_t nRemainSeconds);

class CCliPrinter {
public:
    CCliPrinter(bool bColour, bool bShowProgress, uint32_t nRow);
    // Prints what the message says and frees its heap string.
    void Handle(const T_NOTIFY_MSG& msg);
    // Removes the progress line, so that what follows starts clean.
    void ClearProgress();

private:
    void HandleProgress(uint32_t nCode, LPARAM_T lParam);
    void DrawProgress();

    const bool m_bColour;
    const bool m_bShowProgress;
    const uint32_t m_nRow;
    bool m_bProgressShown = false;
    int64_t m_nPerMille = -1;
    int64_t m_nRemain = -1;
    std::string m_strSpeed;
};
