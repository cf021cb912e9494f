// What the operator sees of log lines and progress on a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "cli/cli_output.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"

namespace {

TEST(CliOutput, LinesCarryTheirPrefixAndColourLineByLine)
{
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_INFO), "READ a => b\n", false), "READ a => b\n");
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_WARNING), "disk read error.\nI/O error\n", false),
              "[WARNING] disk read error.\nI/O error\n");
    // After "Volume /dev/sdb1 unmount..." a warning starts a line of its own;
    // "failed." ends the open line.
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_WARNING), "\nvolume x failed.\nbusy\n", false, true),
              "\n[WARNING] volume x failed.\nbusy\n");
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_ERROR), "failed.\nbusy\n", false, true), "failed.\nbusy\n");
    // Every line styled and reset before its end; an empty line stays empty.
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_WARNING), "a\n\nb\n", true),
              "\033[33m[WARNING] a\033[0m\n\n\033[33mb\033[0m\n");
}

TEST(CliOutput, ProgressLine)
{
    EXPECT_EQ(RenderProgress(425, "    12.35MB/s", 65), " 42.5%  12.35MB/s  remaining 0:01:05");
    EXPECT_EQ(RenderProgress(0, "    0.00MB/s", 3 * 3600 + 7), "  0.0%  0.00MB/s  remaining 3:00:07");
}

TEST(CliOutputMode, ColourAndProgressKeepOffWhatMayShareTheScreen)
{
    const auto T = EStreamKind::Terminal, P = EStreamKind::Pipe, F = EStreamKind::File, C = EStreamKind::Closed;
    EXPECT_TRUE(ChooseOutputMode({T, T, "", ""}).bColour);  // TERM set but empty counts as unset
    EXPECT_FALSE(ChooseOutputMode({P, T, "", "xterm"}).bColour);
    EXPECT_FALSE(ChooseOutputMode({T, T, "0", "xterm"}).bColour);  // NO_COLOR, any value
    EXPECT_FALSE(ChooseOutputMode({T, T, "", "dumb"}).bColour);
    EXPECT_EQ(ChooseOutputMode({T, T, "", "xterm"}).eProgress, EProgressMode::Live);
    EXPECT_EQ(ChooseOutputMode({F, T, "", "xterm"}).eProgress, EProgressMode::Live);   // > log.txt
    EXPECT_EQ(ChooseOutputMode({P, T, "", "xterm"}).eProgress, EProgressMode::Lines);  // | tee log
    EXPECT_EQ(ChooseOutputMode({T, T, "", "dumb"}).eProgress, EProgressMode::Lines);
    EXPECT_EQ(ChooseOutputMode({T, P, "", "xterm"}).eProgress, EProgressMode::None);
    EXPECT_EQ(ChooseOutputMode({T, C, "", "xterm"}).eProgress, EProgressMode::None);
    // The bell at the end of a long job goes where the progress would.
    EXPECT_EQ(ChooseOutputMode({P, T, "", "dumb"}).bellAfter, BELL_AFTER_JOB);
    EXPECT_LT(ChooseOutputMode({T, P, "", "xterm"}).bellAfter.count(), 0);
}

// A terminal screen: what the writes to it leave visible, line by line. It
// knows "\r", "\n", erase to the line's end ("\033[K") and skips colours.
class CScreen {
public:
    void Write(std::string_view strText)
    {
        for (size_t i = 0; i < strText.size(); ++i) {
            std::string& strLine = m_lines.back();
            if (strText[i] == '\033') {  // to the sequence's end; erase to the line's end on K
                i = strText.find_first_of("Km", i);
                if (strText[i] == 'K') strLine.resize(std::min(m_nColumn, strLine.size()));
            } else if (strText[i] == '\r') {
                m_nColumn = 0;
            } else if (strText[i] == '\n') {
                m_lines.emplace_back();
                m_nColumn = 0;
            } else {
                if (m_nColumn == strLine.size()) strLine += ' ';
                strLine[m_nColumn++] = strText[i];
            }
        }
    }
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines{""};
    size_t m_nColumn = 0;
};

T_NOTIFY_MSG LogMessage(uint16_t nStyle, std::string_view strText)
{
    return T_NOTIFY_MSG{WM_ENGINE_LOG, ComposeLogWord(nStyle), reinterpret_cast<LPARAM_T>(NewHeapString(strText))};
}

T_NOTIFY_MSG ProgressMessage(uint32_t nCode, int64_t nValue)
{
    return T_NOTIFY_MSG{WM_ENGINE_PROGRESS, nCode, static_cast<LPARAM_T>(nValue)};
}

T_NOTIFY_MSG SpeedMessage(std::string_view strSpeed, uint32_t nCode = PROGRESS_DRIVE_SPEED)
{
    return T_NOTIFY_MSG{WM_ENGINE_PROGRESS, nCode, reinterpret_cast<LPARAM_T>(NewHeapString(strSpeed))};
}

struct T_WRITE {
    EStream eStream;
    std::string strText;
};

TEST(CliPrinter, LogLinesNeverLandOnTheLiveProgressLine)
{
    CScreen screen;  // standard output and error on one terminal
    CCliPrinter printer({false, EProgressMode::Live}, {PROGRESS_DRIVE_SPEED}, [&](EStream, std::string_view s) {
        screen.Write(s);
        return 0u;
    });
    printer.Handle(SpeedMessage("    12.35MB/s"));
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 425));
    EXPECT_EQ(screen.Lines(), (std::vector<std::string>{" 42.5%  12.35MB/s"}));
    printer.Handle(LogMessage(LOG_STYLE_WARNING, "disk read error (00000000-000FFFFF).\nI/O error\n"));
    EXPECT_EQ(screen.Lines(), (std::vector<std::string>{"[WARNING] disk read error (00000000-000FFFFF).",
                                                        "I/O error", " 42.5%  12.35MB/s"}));
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 1000));
    printer.Handle(LogMessage(LOG_STYLE_INFO, "DISK MD5SUM=0123\n"));
    printer.ClearProgress();
    EXPECT_EQ(screen.Lines(), (std::vector<std::string>{"[WARNING] disk read error (00000000-000FFFFF).",
                                                        "I/O error", "DISK MD5SUM=0123", ""}));
    // A line posted in pieces (the compare's header) is never broken by
    // the progress line, which would erase its start.
    printer.Handle(LogMessage(LOG_STYLE_INFO, "VERIFY"));
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 510));
    printer.Handle(LogMessage(LOG_STYLE_INFO, " a.gmi <=> d1"));
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 520));
    printer.Handle(LogMessage(LOG_STYLE_INFO, "\n"));
    EXPECT_EQ(screen.Lines().back(), " 52.0%  12.35MB/s");
    EXPECT_EQ(screen.Lines()[screen.Lines().size() - 2], "VERIFY a.gmi <=> d1");
}

// With standard output in a pipe, the log reaches the screen whenever the
// reader passes it on; only whole lines on standard error are safe then.
TEST(CliPrinter, PipedLogGetsProgressAsWholeLinesPerTenth)
{
    std::vector<T_WRITE> writes;
    CCliPrinter printer({false, EProgressMode::Lines}, {PROGRESS_DRIVE_SPEED}, [&](EStream e, std::string_view s) {
        writes.push_back({e, std::string(s)});
        return 0u;
    });
    for (int64_t n : {0, 50, 99, 100, 150, 260, 990, 1000}) {
        printer.Handle(ProgressMessage(PROGRESS_TOTAL, n));
        printer.Handle(LogMessage(LOG_STYLE_INFO, "line\n"));
    }
    printer.ClearProgress();
    std::vector<std::string> progress;
    for (const T_WRITE& w : writes) {
        EXPECT_EQ(w.strText.back(), '\n') << w.strText;
        EXPECT_EQ(w.strText.find_first_of("\r\033"), std::string::npos) << w.strText;
        if (w.eStream == EStream::Error) progress.push_back(w.strText);
    }
    EXPECT_EQ(progress, (std::vector<std::string>{" 10.0%\n", " 26.0%\n", " 99.0%\n", "100.0%\n"}));
}

TEST(CliPrinter, UnwritableOutputSendsTheLogToStandardError)
{
    std::vector<T_WRITE> writes;
    CCliPrinter printer({true, EProgressMode::None}, {PROGRESS_DRIVE_SPEED}, [&](EStream e, std::string_view s) {
        writes.push_back({e, std::string(s)});
        return e == EStream::Output ? 28u : 0u;
    });
    printer.Handle(LogMessage(LOG_STYLE_INFO, "READ a => b\n"));
    printer.Handle(LogMessage(LOG_STYLE_WARNING, "DISK MD5SUM=0123\n"));
    EXPECT_EQ(printer.OutputError(), 28u);
    ASSERT_EQ(writes.size(), 3u);  // standard output is tried once only
    EXPECT_EQ(writes[0].eStream, EStream::Output);
    EXPECT_EQ(writes[1].eStream, EStream::Error);
    EXPECT_EQ(writes[1].strText, "READ a => b\n");
    EXPECT_EQ(writes[2].strText, "[WARNING] DISK MD5SUM=0123\n");  // no colour on the fallback
}

}  // namespace
