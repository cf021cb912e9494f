// What the operator sees of log lines and progress on a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "cli/cli_output.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"

namespace {

TEST(CliOutput, PlainLinesCarryTheirPrefix)
{
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_INFO), "READ a => b\n", false), "READ a => b\n");
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_WARNING), "disk read error.\nI/O error\n", false),
              "[WARNING] disk read error.\nI/O error\n");
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_ERROR), "disk read retry out.\n", false),
              "[ERROR] disk read retry out.\n");
    // After "Volume /dev/sdb1 unmount..." the warning starts a line of its own.
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_WARNING), "\nvolume x failed.\nbusy\n", false, true),
              "\n[WARNING] volume x failed.\nbusy\n");
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_ERROR), "failed.\nbusy\n", false, true), "failed.\nbusy\n");
}

TEST(CliOutput, ColoursFollowTheStyleWordLineByLine)
{
    // Warning: yellow text; every line styled and reset before its end.
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_WARNING), "a\nb\n", true),
              "\033[33m[WARNING] a\033[0m\n\033[33mb\033[0m\n");
    // Error: red background with light text.
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_ERROR), "x\n", true), "\033[41;97m[ERROR] x\033[0m\n");
    // White info text is left to the terminal's colour: no sequence at all.
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_INFO), "ok\n", true), "ok\n");
    // Bold cyan verdict; an empty line stays empty.
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_OK), "OK\n\n", true), "\033[1;36mOK\033[0m\n\n");
}

TEST(CliOutput, StyleBitsMapToTerminalAttributes)
{
    EXPECT_EQ(AnsiStyleOf(ComposeLogWord(0x40 | 0x80 | 0x100 | 2)), "\033[3;4;9;31m");
    EXPECT_EQ(AnsiStyleOf(ComposeLogWord(0x0F)), "");     // grey text: terminal default
    EXPECT_EQ(AnsiStyleOf(ComposeLogWord(0x0C)), "\033[32m");  // dark green rounds to green
}

TEST(CliOutput, ProgressLine)
{
    EXPECT_EQ(RenderProgress(425, "    12.35MB/s", 65), " 42.5%  12.35MB/s  remaining 0:01:05");
    EXPECT_EQ(RenderProgress(1000, "", -1), "100.0%");
    EXPECT_EQ(RenderProgress(0, "    0.00MB/s", 3 * 3600 + 7), "  0.0%  0.00MB/s  remaining 3:00:07");
}

}  // namespace

namespace {

TEST(CliOutputMode, ColourOnlyOnATerminalAndNotWhenRefused)
{
    const auto T = EStreamKind::Terminal, P = EStreamKind::Pipe, F = EStreamKind::File;
    EXPECT_TRUE(ChooseOutputMode({T, T, "", "xterm"}).bColour);
    EXPECT_FALSE(ChooseOutputMode({P, T, "", "xterm"}).bColour);
    EXPECT_FALSE(ChooseOutputMode({F, T, "", ""}).bColour);
    EXPECT_FALSE(ChooseOutputMode({T, T, "1", "xterm"}).bColour);  // NO_COLOR, any value
    EXPECT_FALSE(ChooseOutputMode({T, T, "0", "xterm"}).bColour);
    EXPECT_TRUE(ChooseOutputMode({T, T, "", ""}).bColour);  // set but empty counts as unset
    EXPECT_FALSE(ChooseOutputMode({T, T, "", "dumb"}).bColour);
}

TEST(CliOutputMode, ProgressKeepsOffWhatMayShareTheScreen)
{
    const auto T = EStreamKind::Terminal, P = EStreamKind::Pipe, F = EStreamKind::File, C = EStreamKind::Closed;
    EXPECT_EQ(ChooseOutputMode({T, T, "", "xterm"}).eProgress, EProgressMode::Live);
    EXPECT_EQ(ChooseOutputMode({F, T, "", "xterm"}).eProgress, EProgressMode::Live);   // > log.txt
    EXPECT_EQ(ChooseOutputMode({P, T, "", "xterm"}).eProgress, EProgressMode::Lines);  // | tee log
    EXPECT_EQ(ChooseOutputMode({T, T, "", "dumb"}).eProgress, EProgressMode::Lines);
    EXPECT_EQ(ChooseOutputMode({T, P, "", "xterm"}).eProgress, EProgressMode::None);
    EXPECT_EQ(ChooseOutputMode({T, F, "", "xterm"}).eProgress, EProgressMode::None);
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
            const char c = strText[i];
            if (c == '\033') {
                const size_t nEnd = strText.find_first_of("Km", i);
                if (strText[nEnd] == 'K') m_lines.back().resize(std::min(m_nColumn, m_lines.back().size()));
                i = nEnd;
            } else if (c == '\r') {
                m_nColumn = 0;
            } else if (c == '\n') {
                m_lines.emplace_back();
                m_nColumn = 0;
            } else {
                std::string& strLine = m_lines.back();
                if (m_nColumn < strLine.size())
                    strLine[m_nColumn] = c;
                else
                    strLine += c;
                ++m_nColumn;
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

T_NOTIFY_MSG SpeedMessage(std::string_view strSpeed)
{
    return T_NOTIFY_MSG{WM_ENGINE_PROGRESS, PROGRESS_DRIVE_SPEED,
                        reinterpret_cast<LPARAM_T>(NewHeapString(strSpeed))};
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

TEST(CliPrinter, DumbTerminalGetsNoControlSequences)
{
    std::string strAll;
    CCliPrinter printer(ChooseOutputMode({EStreamKind::Terminal, EStreamKind::Terminal, "", "dumb"}), {PROGRESS_DRIVE_SPEED},
                        [&](EStream, std::string_view s) {
                            strAll += s;
                            return 0u;
                        });
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 300));
    printer.Handle(LogMessage(LOG_STYLE_ERROR, "disk read retry out.\n"));
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 1000));
    printer.ClearProgress();
    EXPECT_EQ(strAll, " 30.0%\n[ERROR] disk read retry out.\n100.0%\n");
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

// The compare engine posts its header in pieces; the live progress line
// must wait until the line is whole, or it would erase its start.
TEST(CliPrinter, ALinePostedInPiecesStaysWhole)
{
    CScreen screen;
    CCliPrinter printer({false, EProgressMode::Live}, {PROGRESS_DRIVE_SPEED}, [&](EStream, std::string_view s) {
        screen.Write(s);
        return 0u;
    });
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 500));
    printer.Handle(LogMessage(LOG_STYLE_INFO, "VERIFY"));
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 510));
    printer.Handle(LogMessage(LOG_STYLE_INFO, " a.gmi <=> d1"));
    printer.Handle(LogMessage(LOG_STYLE_INFO, ", d2"));
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 520));
    printer.Handle(LogMessage(LOG_STYLE_INFO, "\n"));
    EXPECT_EQ(screen.Lines(), (std::vector<std::string>{"VERIFY a.gmi <=> d1, d2", " 52.0%"}));
}

// A write shows the image side's speed, and while that is idle (the
// drives read back), the first drive's that moves.
TEST(CliPrinter, ShowsTheFirstSpeedThatMoves)
{
    std::string strLast;
    CCliPrinter printer({false, EProgressMode::Live}, {PROGRESS_IMAGE_SPEED, PROGRESS_DRIVE_SPEED, PROGRESS_DRIVE_SPEED + 1},
                        [&](EStream, std::string_view s) {
                            strLast = s;
                            return 0u;
                        });
    auto speed = [](uint32_t nCode, std::string_view strSpeed) {
        return T_NOTIFY_MSG{WM_ENGINE_PROGRESS, nCode, reinterpret_cast<LPARAM_T>(NewHeapString(strSpeed))};
    };
    printer.Handle(speed(PROGRESS_IMAGE_SPEED, "    30.00MB/s"));
    printer.Handle(speed(PROGRESS_DRIVE_SPEED + 1, "    20.00MB/s"));
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 100));
    EXPECT_NE(strLast.find(" 30.00MB/s"), std::string::npos) << strLast;
    printer.Handle(speed(PROGRESS_IMAGE_SPEED, SpeedText(0.0)));
    printer.Handle(speed(PROGRESS_DRIVE_SPEED, SpeedText(0.0)));
    printer.Handle(speed(PROGRESS_DRIVE_SPEED + 2, "    99.00MB/s"));  // not a code it shows
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 600));
    EXPECT_NE(strLast.find(" 20.00MB/s"), std::string::npos) << strLast;
    // Every stage ended: the last measured speed stays.
    printer.Handle(speed(PROGRESS_DRIVE_SPEED + 1, SpeedText(0.0)));
    printer.Handle(ProgressMessage(PROGRESS_TOTAL, 1000));
    EXPECT_NE(strLast.find(" 20.00MB/s"), std::string::npos) << strLast;
}

}  // namespace
