#pragma once
// Log lines for the operator. Each line is formatted, copied to the heap
// and posted to the log target with a colour and style word:
//   bits 0..23 colour (0x00BBGGRR), bit 24 bold, 25 italic, 26 underline,
//   27 strike-out, bit 29 the colour is the line's background,
//   bits 30..31 prefix: 01 "[WARNING] ", 10 "[ERROR] ".
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/format.h"
#include "engine/core/notify.h"

constexpr uint32_t LOG_BASE_COLOR = 0x300000;
constexpr uint16_t LOG_STYLE_INFO = 7;
constexpr uint16_t LOG_STYLE_WARNING = 0x4006;
constexpr uint16_t LOG_STYLE_ERROR = 0x8012;
constexpr uint16_t LOG_STYLE_OK = 0x25;  // verdict "OK": cyan, bold
constexpr uint16_t LOG_STYLE_NG = 0x22;  // verdict "NG": red, bold

constexpr uint32_t LOG_WORD_BOLD = 1u << 24;
constexpr uint32_t LOG_WORD_ITALIC = 1u << 25;
constexpr uint32_t LOG_WORD_UNDERLINE = 1u << 26;
constexpr uint32_t LOG_WORD_STRIKEOUT = 1u << 27;
constexpr uint32_t LOG_WORD_BACKGROUND = 1u << 29;
constexpr uint32_t LOG_WORD_PREFIX_SHIFT = 30;

enum class ELogPrefix { None, Warning, Error };

// The colour table of the style requests' low four bits.
uint32_t LogColorOf(unsigned nIndex);
// Turns a 16-bit style request into the colour and style word.
uint32_t ComposeLogWord(uint16_t nStyleRequest);
ELogPrefix LogPrefixOf(uint32_t dwWord);
std::string_view LogPrefixText(ELogPrefix ePrefix);

// The process-wide log target: set once by the front end at start-up.
void SetLogTarget(INotifyTarget* pTarget, uint32_t uLogMsg);
INotifyTarget* GetLogTarget();
uint32_t GetLogMessage();

void LogPostText(uint16_t nStyleRequest, std::string_view strText);

// While set on a thread, that thread's log lines go to the developer trace
// instead of the log target: a background task whose failures nobody asked
// to see (the image checksum task behind the window) keeps its reasons
// for the developer without filling the operator's log.
void SetThreadLogToTrace(bool bToTrace);

template <class... A>
void LogPost(uint16_t nStyleRequest, std::string_view strFormat, const A&... args)
{
    LogPostText(nStyleRequest, FormatText(strFormat, args...));
}
template <class... A>
void LogInfo(std::string_view strFormat, const A&... args)
{
    LogPost(LOG_STYLE_INFO, strFormat, args...);
}
template <class... A>
void LogWarning(std::string_view strFormat, const A&... args)
{
    LogPost(LOG_STYLE_WARNING, strFormat, args...);
}
template <class... A>
void LogError(std::string_view strFormat, const A&... args)
{
    LogPost(LOG_STYLE_ERROR, strFormat, args...);
}
