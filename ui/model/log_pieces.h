#pragma once
// How a posted log text (WM_ENGINE_LOG: style word, text) becomes pieces
// of the log view. Every line gets the prefix of its word ("[WARNING] ",
// "[ERROR] "), unless it continues a line that an earlier text left open
// (one without a final line feed); each piece carries the colours and
// effects of its own word. Lines end in "\r\n" in the view.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/log.h"

// The view's background, the colour of text drawn on a coloured background.
constexpr uint32_t LOG_VIEW_BACK_COLOR = LOG_BASE_COLOR;

struct T_LOG_FORMAT {
    uint32_t crText = 0;  // 0x00BBGGRR
    uint32_t crBack = LOG_VIEW_BACK_COLOR;
    bool bBold = false;
    bool bItalic = false;
    bool bUnderline = false;
    bool bStrikeOut = false;

    bool operator==(const T_LOG_FORMAT&) const = default;
};

T_LOG_FORMAT LogFormatOf(uint32_t dwWord);

struct T_LOG_PIECE {
    std::string strText;
    T_LOG_FORMAT format;
};

// The log view's memory of an open line between posted texts.
class CLogPieces {
public:
    // The pieces of one posted text, in order.
    std::vector<T_LOG_PIECE> Split(uint32_t dwWord, std::string_view strText);
    // The last text ended without a line feed: the next continues its line.
    bool MidLine() const { return m_nLogMidLine != 0; }

private:
    size_t m_nLogMidLine = 0;
};

// Pieces gathered between two showings of the log, with every run of
// neighbours in one format joined into one piece of at most nMaxBytes bytes
// (a single longer piece stays whole), so that the view inserts a burst of
// lines in a few steps instead of one per line.
std::vector<T_LOG_PIECE> MergeLogPieces(std::vector<T_LOG_PIECE> arrPieces, size_t nMaxBytes);

// The view's size rule: text up to LOG_TEXT_LIMIT characters; before a
// piece is added, whole lines leave from the top so that the text stays
// within the limit minus LOG_TRIM_MARGIN (LogExcess, LogCutLength below).
constexpr size_t LOG_TEXT_LIMIT = 0x20000;
constexpr size_t LOG_TRIM_MARGIN = 80;
// The log's head is read for the cut this many characters past what must
// leave: one line's room.
constexpr size_t LOG_TRIM_LINE_CHARS = 1024;

// The log's context menu: WM_COMMAND ids (low word = the log's id 1032).
constexpr uint32_t MENU_ID_COPY = 0x11200408;
constexpr uint32_t MENU_ID_ALLSEL = 0x11100408;
constexpr uint32_t MENU_ID_CLEAR = 0x11000408;
constexpr const char* MENU_TEXT_COPY = "コピー(&C)\tCTRL+C";
constexpr const char* MENU_TEXT_ALLSEL = "すべて選択(&A)\tCTRL+A";
constexpr const char* MENU_TEXT_CLEAR = "ログを消去(&E)";
constexpr const char* LOG_CLEAR_QUESTION = "ログを消去しますか？";

// How many characters must leave the top of a log of nTextLength
// characters before a piece of nComing characters goes in: what would pass
// the limit less its margin (all of the log, at most).
size_t LogExcess(size_t nTextLength, size_t nComing, size_t nLimit = LOG_TEXT_LIMIT);
// Where to cut so that at least nExcess characters leave and the log still
// begins with a whole line: after the line end ("\r") that ends the line
// holding the nExcess-th character. strHead is the log's beginning, read
// from its start to at least one line's room past nExcess; without a line
// end in it, all of strHead leaves.
size_t LogCutLength(std::u16string_view strHead, size_t nExcess);

enum class ELogMenuCommand { None, Copy, SelectAll, Clear };
// The command of a WM_COMMAND wParam sent to the log control.
ELogMenuCommand LogMenuCommandOf(uint32_t wParam);
