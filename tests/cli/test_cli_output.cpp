// What the operator sees of log lines and progress on a terminal.
#include <gtest/gtest.h>

#include "cli/cli_output.h"
#include "engine/core/log.h"

namespace {

TEST(CliOutput, PlainLinesCarryTheirPrefix)
{
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_INFO), "READ a => b\n", false), "READ a => b\n");
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_WARNING), "disk read error.\nI/O error\n", false),
              "[WARNING] disk read error.\nI/O error\n");
    EXPECT_EQ(RenderLogLine(ComposeLogWord(LOG_STYLE_ERROR), "disk read retry out.\n", false),
              "[ERROR] disk read retry out.\n");
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
