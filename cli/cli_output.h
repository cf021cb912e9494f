#pragma once
// Turns the engine's messages into terminal output: log lines on standard
// output (with their prefix, coloured from the style word on a terminal),
// progress on standard error when that is a terminal.
//
// Progress and log text never share a line on the screen. The progress
// shows in one of three ways:
// - Live: one line redrawn in place ("\r", erase to the line's end). Used
//   when standard output is the same terminal (the printer clears the
//   progress line before each log line and draws it again after, in order)
//   or a file that nobody watches.
// - Lines: a whole line each time the job passes another tenth, with no
//   control sequences. Used when standard output is a pipe: another program
//   (`| tee log`) may put the log on the screen at moments the printer
//   cannot know, so everything the printer puts there must be whole lines.
//   Also on a dumb terminal (TERM=dumb), which has no cursor control.
// - None: standard error is not a terminal.
// A job of more than a few seconds ends with a bell on a terminal.
// When standard output cannot be written (a full disk, a reader that went
// away), the log lines go to standard error instead, and the failure is
// kept for the exit status.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/console.h"
#include "engine/core/notify_queue.h"

enum class EProgressMode { None, Live, Lines };

struct T_OUTPUT_MODE {
    bool bColour = false;
    EProgressMode eProgress = EProgressMode::None;
    // A job that ran at least this long ends with one bell on standard
    // error, for an operator who looked away; negative: never (standard
    // error is not a terminal).
    std::chrono::milliseconds bellAfter{-1};
};

// How long a job runs before its end rings the terminal's bell.
constexpr std::chrono::seconds BELL_AFTER_JOB{5};

// What the output mode is chosen from.
struct T_OUTPUT_FACTS {
    EStreamKind eOutput = EStreamKind::File;
    EStreamKind eError = EStreamKind::File;
    std::string strNoColor;  // the NO_COLOR variable: any value turns colour off
    std::string strTerm;     // the TERM variable: "dumb" has no colour and no control sequences
};

T_OUTPUT_MODE ChooseOutputMode(const T_OUTPUT_FACTS& facts);
// The facts of this process's streams and environment.
T_OUTPUT_FACTS ReadOutputFacts();

// The speeds a job's progress line shows, in the order it looks at them:
// a job that reads an image shows the image side's, or, while it is idle
// (drives reading back), the first drive's that moves; an erase the first
// drive's that moves.
std::vector<uint32_t> ImageJobSpeedCodes();
std::vector<uint32_t> DriveSpeedCodes();

// Says on standard error that standard output could not be written, with
// strWhatInstead after it and the system's text of nError.
void ReportOutputFailure(uint32_t nError, std::string_view strWhatInstead, const T_CONSOLE_IO& io);
// Writes a whole text (the help, a listing) to standard output: 0 when it
// arrived, else 1 with the failure reported.
int PrintWholeText(std::string_view strText, const T_CONSOLE_IO& io);

// The ANSI colour and style sequence for a log word; empty for plain text.
std::string AnsiStyleOf(uint32_t dwWord);
// A log line as printed: prefix, text, colour per line when bColour. A
// text that continues an open line (bContinuesLine) gets its prefix only
// where it starts a line of its own: after a line feed it begins with.
std::string RenderLogLine(uint32_t dwWord, std::string_view strText, bool bColour, bool bContinuesLine = false);
// "42.5%  12.35MB/s  remaining 0:01:05" (parts not known yet are left out).
std::string RenderProgress(int64_t nPerMille, std::string_view strSpeed, int64_t nRemainSeconds);

class CCliPrinter {
public:
    using TWriteFn = std::function<uint32_t(EStream, std::string_view)>;

    // The progress line shows the speed of the first of arrSpeedCodes
    // (PROGRESS_..._SPEED codes) whose last speed is not zero: the image
    // side of a write, say, and its drives while they read back; while
    // none moves, the last speed that was not zero.
    CCliPrinter(T_OUTPUT_MODE mode, std::vector<uint32_t> arrSpeedCodes, TWriteFn write);
    // Prints what the message says and frees its heap string.
    void Handle(const T_NOTIFY_MSG& msg);
    // Removes the live progress line, so that what follows starts clean.
    void ClearProgress();
    // The system error code of the first failed write to standard output;
    // 0 while everything arrived.
    uint32_t OutputError() const { return m_nOutputError; }

private:
    void PrintLog(uint32_t dwWord, std::string_view strText);
    void HandleProgress(uint32_t nCode, LPARAM_T lParam);
    void DrawProgress();
    void PrintProgressLine();
    void TakeSpeed(uint32_t nCode, std::string_view strSpeed);
    std::string_view ShownSpeed() const;

    const T_OUTPUT_MODE m_mode;
    const std::vector<uint32_t> m_arrSpeedCodes;
    const TWriteFn m_write;
    uint32_t m_nOutputError = 0;
    bool m_bProgressShown = false;
    // The log's last text did not end its line (a line posted in pieces):
    // no progress is shown until it does.
    bool m_bMidLine = false;
    int64_t m_nTenthsPrinted = 0;  // Lines mode: the last tenth that got its line
    int64_t m_nPerMille = -1;
    int64_t m_nRemain = -1;
    std::vector<std::string> m_arrSpeeds;  // the last text of each speed code
    std::string m_strLastMoving;           // the last of them that was not 0
};
