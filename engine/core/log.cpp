#include "engine/core/log.h"

#include <atomic>

#include "engine/core/debug_trace.h"

namespace {

constexpr uint32_t COLOR_TABLE[16] = {
    0x000000, 0xFF0000, 0x0000FF, 0xFF00FF, 0x00FF00, 0xFFFF00, 0x00FFFF, 0xFFFFFF,
    0x000000, 0xC00000, 0x0000C0, 0xC000C0, 0x00C000, 0xC0C000, 0x00C0C0, 0xC0C0C0,
};

// Written once at start-up and then only read; atomics keep the rare
// rewrite (tests, a second window) free of data races.
std::atomic<INotifyTarget*> g_pLogTarget{nullptr};
std::atomic<uint32_t> g_uLogMsg{DEFAULT_LOG_MSG};
thread_local bool t_bLogToTrace = false;

}  // namespace

uint32_t LogColorOf(unsigned nIndex)
{
    return COLOR_TABLE[nIndex & 0xF];
}

uint32_t ComposeLogWord(uint16_t nStyleRequest)
{
    uint32_t word = LogColorOf(nStyleRequest & 0xF);
    if (nStyleRequest & 0x10) word |= LOG_WORD_BACKGROUND;
    if (nStyleRequest & 0x20) word |= LOG_WORD_BOLD;
    if (nStyleRequest & 0x40) word |= LOG_WORD_ITALIC;
    if (nStyleRequest & 0x80) word |= LOG_WORD_UNDERLINE;
    if (nStyleRequest & 0x100) word |= LOG_WORD_STRIKEOUT;
    switch (nStyleRequest & 0xC000) {
    case 0x4000: word |= 1u << LOG_WORD_PREFIX_SHIFT; break;
    case 0x8000: word |= 2u << LOG_WORD_PREFIX_SHIFT; break;
    default: break;
    }
    return word;
}

ELogPrefix LogPrefixOf(uint32_t dwWord)
{
    switch (dwWord >> LOG_WORD_PREFIX_SHIFT) {
    case 1: return ELogPrefix::Warning;
    case 2: return ELogPrefix::Error;
    default: return ELogPrefix::None;
    }
}

std::string_view LogPrefixText(ELogPrefix ePrefix)
{
    switch (ePrefix) {
    case ELogPrefix::Warning: return "[WARNING] ";
    case ELogPrefix::Error: return "[ERROR] ";
    default: return "";
    }
}

void SetLogTarget(INotifyTarget* pTarget, uint32_t uLogMsg)
{
    g_uLogMsg.store(uLogMsg);
    g_pLogTarget.store(pTarget);
}

INotifyTarget* GetLogTarget() { return g_pLogTarget.load(); }
uint32_t GetLogMessage() { return g_uLogMsg.load(); }

void SetThreadLogToTrace(bool bToTrace) { t_bLogToTrace = bToTrace; }

void LogPostText(uint16_t nStyleRequest, std::string_view strText)
{
    if (t_bLogToTrace) {
        DebugTrace(strText);
        return;
    }
    PostHeapString(GetLogTarget(), GetLogMessage(), ComposeLogWord(nStyleRequest), strText);
}
