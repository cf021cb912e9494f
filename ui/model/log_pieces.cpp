// Log texts into pieces with prefixes and colours.
#include "ui/model/log_pieces.h"

T_LOG_FORMAT LogFormatOf(uint32_t dwWord)
{
    T_LOG_FORMAT format;
    const uint32_t crColour = dwWord & 0xFFFFFF;
    if (dwWord & LOG_WORD_BACKGROUND) {
        format.crText = LOG_VIEW_BACK_COLOR;
        format.crBack = crColour;
    } else {
        format.crText = crColour;
        format.crBack = LOG_VIEW_BACK_COLOR;
    }
    format.bBold = (dwWord & LOG_WORD_BOLD) != 0;
    format.bItalic = (dwWord & LOG_WORD_ITALIC) != 0;
    format.bUnderline = (dwWord & LOG_WORD_UNDERLINE) != 0;
    format.bStrikeOut = (dwWord & LOG_WORD_STRIKEOUT) != 0;
    return format;
}

std::vector<T_LOG_PIECE> CLogPieces::Split(uint32_t dwWord, std::string_view strText)
{
    const T_LOG_FORMAT format = LogFormatOf(dwWord);
    const std::string_view strPrefix = LogPrefixText(LogPrefixOf(dwWord));
    std::vector<T_LOG_PIECE> pieces;
    while (!strText.empty()) {
        std::string strPiece(m_nLogMidLine != 0 ? std::string_view() : strPrefix);
        const size_t p = strText.find('\n');
        if (p != std::string_view::npos) {
            strPiece.append(strText.substr(0, p)).append("\r\n");
            m_nLogMidLine = 0;
            strText.remove_prefix(p + 1);
        } else {
            strPiece.append(strText);
            m_nLogMidLine = strText.size();
            strText = {};
        }
        pieces.push_back({std::move(strPiece), format});
    }
    return pieces;
}

size_t LogExcess(size_t nTextLength, size_t nComing, size_t nLimit)
{
    const size_t nRoom = nLimit > LOG_TRIM_MARGIN ? nLimit - LOG_TRIM_MARGIN : 0;
    const size_t nTotal = nTextLength + nComing;
    if (nTotal <= nRoom) return 0;
    const size_t nExcess = nTotal - nRoom;
    return nExcess < nTextLength ? nExcess : nTextLength;
}

size_t LogCutLength(std::u16string_view strHead, size_t nExcess)
{
    if (nExcess == 0) return 0;
    const size_t nEnd = strHead.find(u'\r', nExcess - 1);
    return nEnd == std::u16string_view::npos ? strHead.size() : nEnd + 1;
}

ELogMenuCommand LogMenuCommandOf(uint32_t wParam)
{
    switch (wParam) {
    case MENU_ID_COPY: return ELogMenuCommand::Copy;
    case MENU_ID_ALLSEL: return ELogMenuCommand::SelectAll;
    case MENU_ID_CLEAR: return ELogMenuCommand::Clear;
    default: return ELogMenuCommand::None;
    }
}

std::vector<T_LOG_PIECE> MergeLogPieces(std::vector<T_LOG_PIECE> arrPieces, size_t nMaxBytes)
{
    std::vector<T_LOG_PIECE> arrMerged;
    for (T_LOG_PIECE& piece : arrPieces) {
        if (!arrMerged.empty() && arrMerged.back().format == piece.format &&
            arrMerged.back().strText.size() + piece.strText.size() <= nMaxBytes) {
            arrMerged.back().strText += piece.strText;
        } else {
            arrMerged.push_back(std::move(piece));
        }
    }
    return arrMerged;
}
