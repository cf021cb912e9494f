// Log texts as the view shows them: a prefix on every line of a warning or
// error, an open line continued without a second prefix in the next text's
// own format, bursts merged, and the size rule that cuts whole lines.
#include <gtest/gtest.h>

#include "ui/model/log_pieces.h"

namespace {

std::vector<std::string> Texts(const std::vector<T_LOG_PIECE>& pieces)
{
    std::vector<std::string> texts;
    for (const T_LOG_PIECE& piece : pieces) texts.push_back(piece.strText);
    return texts;
}

}  // namespace

TEST(LogPieces, EveryLineOfAWarningOrErrorGetsThePrefixAndItsOwnFormat)
{
    CLogPieces log;
    const auto error = log.Split(ComposeLogWord(LOG_STYLE_ERROR), "first\nsecond\n");
    EXPECT_EQ(Texts(error), (std::vector<std::string>{"[ERROR] first\r\n", "[ERROR] second\r\n"}));
    EXPECT_EQ(error[0].format.crBack, 0x0000FFu);  // on red
    EXPECT_EQ(Texts(log.Split(ComposeLogWord(LOG_STYLE_INFO), "a\n\nb\n")),
              (std::vector<std::string>{"a\r\n", "\r\n", "b\r\n"}));
    EXPECT_TRUE(log.Split(ComposeLogWord(LOG_STYLE_WARNING), "").empty());
}

TEST(LogPieces, AnOpenLineIsContinuedWithoutASecondPrefixInTheNextTextsOwnFormat)
{
    CLogPieces log;
    const uint32_t dwWarning = ComposeLogWord(LOG_STYLE_WARNING);
    EXPECT_EQ(Texts(log.Split(dwWarning, "A")), std::vector<std::string>{"[WARNING] A"});
    EXPECT_TRUE(log.MidLine());
    const auto second = log.Split(ComposeLogWord(LOG_STYLE_OK), "B\nC\n");
    EXPECT_EQ(Texts(second), (std::vector<std::string>{"B\r\n", "C\r\n"}));
    EXPECT_EQ(second[0].format, LogFormatOf(ComposeLogWord(LOG_STYLE_OK)));
    EXPECT_FALSE(log.MidLine());
    EXPECT_EQ(Texts(log.Split(dwWarning, "D\n")), std::vector<std::string>{"[WARNING] D\r\n"});
}

TEST(LogMerge, NeighboursInOneFormatJoinWithinTheSizeWhileOtherFormatsKeepTheirPlace)
{
    CLogPieces pieces;
    std::vector<T_LOG_PIECE> arrAll;
    for (const auto& [dwWord, strText] : std::vector<std::pair<uint32_t, std::string>>{
             {0xFFFFFF, "one\n"}, {0xFFFFFF, "two\n"}, {0x800000FFu, "bad\n"}, {0xFFFFFF, "three\n"}}) {
        for (T_LOG_PIECE& piece : pieces.Split(dwWord, strText)) arrAll.push_back(std::move(piece));
    }
    EXPECT_EQ(Texts(MergeLogPieces(arrAll, 1000)),
              (std::vector<std::string>{"one\r\ntwo\r\n", "[ERROR] bad\r\n", "three\r\n"}));
    // A joined piece stays within its size, a longer single piece stays whole.
    const T_LOG_FORMAT format = LogFormatOf(0xFFFFFF);
    std::vector<T_LOG_PIECE> arrPieces(5, T_LOG_PIECE{"12345", format});
    arrPieces.resize(6, T_LOG_PIECE{"", format});
    arrPieces.back().strText.assign(40, 'x');  // (not a temporary: a false -Warray-bounds of GCC 12)
    EXPECT_EQ(Texts(MergeLogPieces(arrPieces, 12)),
              (std::vector<std::string>{"1234512345", "1234512345", "12345", std::string(40, 'x')}));
}

TEST(LogLimit, WhatMustLeaveIsWhatPassesTheLimitLessItsMarginAndTheCutEndsAWholeLine)
{
    // Room below a limit of 200 is 200 - 80 = 120 characters.
    EXPECT_EQ(LogExcess(100, 20, 200), 0u);
    EXPECT_EQ(LogExcess(100, 20, 199), 1u);
    EXPECT_EQ(LogExcess(10, 5000, 1000), 10u) << "a piece larger than the room empties the log";
    EXPECT_EQ(LogExcess(5, 5, 50), 5u) << "a limit below the margin keeps nothing";
    const std::u16string strHead = u"abc\rdefgh\rij\r";
    EXPECT_EQ(LogCutLength(strHead, 0), 0u);
    EXPECT_EQ(LogCutLength(strHead, 1), 4u);
    EXPECT_EQ(LogCutLength(strHead, 4), 4u) << "the line end itself was the last to leave";
    EXPECT_EQ(LogCutLength(strHead, 5), 10u);
    EXPECT_EQ(LogCutLength(u"no line end here", 3), 16u);
}
