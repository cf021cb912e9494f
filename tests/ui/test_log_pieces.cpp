// Log texts as the view shows them: a prefix on every line of a warning or
// error, an open line continued without a second prefix, the colours and
// effects of each style, the size rule and the context menu.
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

TEST(LogPieces, AnErrorLineIsPrefixedAndShownAsBaseColourTextOnRed)
{
    CLogPieces log;
    const auto pieces = log.Split(ComposeLogWord(LOG_STYLE_ERROR), "disk read retry out.\n");
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0].strText, "[ERROR] disk read retry out.\r\n");
    EXPECT_EQ(pieces[0].format, (T_LOG_FORMAT{0x300000, 0x0000FF, false, false, false, false}));
    EXPECT_FALSE(log.MidLine());
}

TEST(LogPieces, EveryLineOfOneTextGetsThePrefix)
{
    CLogPieces log;
    EXPECT_EQ(Texts(log.Split(ComposeLogWord(LOG_STYLE_ERROR), "first\nsecond\n")),
              (std::vector<std::string>{"[ERROR] first\r\n", "[ERROR] second\r\n"}));
    EXPECT_EQ(Texts(log.Split(ComposeLogWord(LOG_STYLE_INFO), "a\n\nb\n")),
              (std::vector<std::string>{"a\r\n", "\r\n", "b\r\n"}));
    EXPECT_TRUE(log.Split(ComposeLogWord(LOG_STYLE_WARNING), "").empty());
}

TEST(LogPieces, AnOpenLineIsContinuedWithoutASecondPrefixInTheNextTextsOwnColours)
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

TEST(LogPieces, StyleWordsGiveTheirColoursAndEffects)
{
    // Verdicts: bold cyan and bold red text on the view's background.
    EXPECT_EQ(LogFormatOf(ComposeLogWord(LOG_STYLE_OK)), (T_LOG_FORMAT{0xFFFF00, 0x300000, true, false, false, false}));
    EXPECT_EQ(LogFormatOf(ComposeLogWord(LOG_STYLE_NG)), (T_LOG_FORMAT{0x0000FF, 0x300000, true, false, false, false}));
    // The window's banner: white.
    EXPECT_EQ(LogFormatOf(0xFFFFFF).crText, 0xFFFFFFu);
    const T_LOG_FORMAT all = LogFormatOf(0x0F123456 | LOG_WORD_BACKGROUND);
    EXPECT_EQ(all, (T_LOG_FORMAT{0x300000, 0x123456, true, true, true, true}));
    // A warning is yellow text; its prefix bits do not leak into the colour.
    EXPECT_EQ(LogFormatOf(ComposeLogWord(LOG_STYLE_WARNING)).crText, 0x00FFFFu);
}

TEST(LogLimit, LinesLeaveFromTheTopOnlyPastTheLimitLessEightyAndEveryStepRemovesSomething)
{
    EXPECT_FALSE(LogMustTrim(0x20000 - 80));
    EXPECT_TRUE(LogMustTrim(0x20000 - 79));
    EXPECT_TRUE(LogMustTrim(1, 50));  // a limit smaller than the margin keeps nothing
    EXPECT_EQ(LogTrimChars(37), 37u);
    EXPECT_EQ(LogTrimChars(5000), 1024u);  // a long line goes in steps of the line buffer
    EXPECT_EQ(LogTrimChars(0), 1u);  // an empty first line still goes
    // A full view drops lines of 100 characters until the room is back.
    size_t nLength = 0x20000 + 250, nSteps = 0;
    while (LogMustTrim(nLength)) {
        nLength -= LogTrimChars(100);
        ++nSteps;
    }
    EXPECT_EQ(nSteps, 4u);
}

TEST(LogMenu, TheThreeCommandsAreToldApartByTheirHighWord)
{
    EXPECT_EQ(LogMenuCommandOf(MENU_ID_COPY), ELogMenuCommand::Copy);
    EXPECT_EQ(LogMenuCommandOf(MENU_ID_ALLSEL), ELogMenuCommand::SelectAll);
    EXPECT_EQ(LogMenuCommandOf(MENU_ID_CLEAR), ELogMenuCommand::Clear);
    EXPECT_EQ(LogMenuCommandOf(0x11200409), ELogMenuCommand::None);  // another control
    EXPECT_EQ(MENU_ID_COPY & 0xFFFF, 1032u);
}

TEST(LogMerge, NeighboursInOneFormatJoinWhileOtherFormatsKeepTheirPlaceAndOrder)
{
    CLogPieces pieces;
    std::vector<T_LOG_PIECE> arrAll;
    for (const auto& [dwWord, strText] : std::vector<std::pair<uint32_t, std::string>>{
             {0xFFFFFF, "one\n"}, {0xFFFFFF, "two\n"}, {0x800000FFu, "bad\n"}, {0xFFFFFF, "three\n"}}) {
        for (T_LOG_PIECE& piece : pieces.Split(dwWord, strText)) arrAll.push_back(std::move(piece));
    }
    const std::vector<T_LOG_PIECE> arrMerged = MergeLogPieces(arrAll, 1000);
    ASSERT_EQ(arrMerged.size(), 3u);
    EXPECT_EQ(arrMerged[0].strText, "one\r\ntwo\r\n");
    EXPECT_EQ(arrMerged[1].strText, "[ERROR] bad\r\n");
    EXPECT_EQ(arrMerged[1].format, LogFormatOf(0x800000FFu));
    EXPECT_EQ(arrMerged[2].strText, "three\r\n");
}

TEST(LogMerge, AJoinedPieceStaysWithinItsSizeButALongerSinglePieceIsKeptWhole)
{
    const T_LOG_FORMAT format = LogFormatOf(0xFFFFFF);
    std::vector<T_LOG_PIECE> arrPieces(5, T_LOG_PIECE{"12345", format});
    arrPieces.push_back(T_LOG_PIECE{std::string(40, 'x'), format});
    const std::vector<T_LOG_PIECE> arrMerged = MergeLogPieces(arrPieces, 12);
    ASSERT_EQ(arrMerged.size(), 4u);
    EXPECT_EQ(arrMerged[0].strText, "1234512345");
    EXPECT_EQ(arrMerged[1].strText, "1234512345");
    EXPECT_EQ(arrMerged[2].strText, "12345");
    EXPECT_EQ(arrMerged[3].strText.size(), 40u);
    EXPECT_TRUE(MergeLogPieces({}, 12).empty());
}

TEST(LogLimit, WhatMustLeaveIsWhatPassesTheLimitLessItsMarginAndNeverMoreThanTheLog)
{
    // Room below a limit of 200 is 200 - 80 = 120 characters.
    EXPECT_EQ(LogExcess(100, 20, 200), 0u);
    EXPECT_EQ(LogExcess(100, 20, 199), 1u);
    EXPECT_EQ(LogExcess(100, 0, 150), 30u);
    EXPECT_EQ(LogExcess(LOG_TEXT_LIMIT, 0), LOG_TRIM_MARGIN);
    EXPECT_EQ(LogExcess(10, 5000, 1000), 10u) << "a piece larger than the room empties the log";
    EXPECT_EQ(LogExcess(0, 5000, 1000), 0u);
}

TEST(LogLimit, TheCutEndsAtTheLineEndOfTheLastCharacterThatMustLeave)
{
    const std::u16string strHead = u"abc\rdefgh\rij\r";
    EXPECT_EQ(LogCutLength(strHead, 0), 0u);
    EXPECT_EQ(LogCutLength(strHead, 1), 4u);
    EXPECT_EQ(LogCutLength(strHead, 4), 4u) << "the line end itself was the last to leave";
    EXPECT_EQ(LogCutLength(strHead, 5), 10u);
    EXPECT_EQ(LogCutLength(strHead, 13), 13u);
    EXPECT_EQ(LogCutLength(u"no line end here", 3), 16u);
}
