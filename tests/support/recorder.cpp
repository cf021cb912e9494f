#include "tests/support/recorder.h"

#include "engine/core/log.h"
#include "engine/core/progress.h"

CRecorder::~CRecorder()
{
    Clear();
}

bool CRecorder::Post(uint32_t uMsg, WPARAM_T wParam, LPARAM_T lParam)
{
    std::lock_guard lock(m_mutex);
    m_messages.push_back(T_NOTIFY_MSG{uMsg, wParam, lParam});
    return true;
}

std::vector<T_NOTIFY_MSG> CRecorder::Messages()
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<T_LOG_LINE> CRecorder::LogLines()
{
    std::vector<T_LOG_LINE> lines;
    for (const T_NOTIFY_MSG& msg : Messages()) {
        if (msg.uMsg == m_uLogMsg) lines.push_back(T_LOG_LINE{static_cast<uint32_t>(msg.wParam), HeapStringOf(msg.lParam)});
    }
    return lines;
}

std::string CRecorder::LogText()
{
    std::string strAll;
    for (const T_LOG_LINE& line : LogLines()) strAll += line.strText;
    return strAll;
}

size_t CRecorder::CountLines(const std::string& strText)
{
    size_t n = 0;
    for (const T_LOG_LINE& line : LogLines()) n += line.strText == strText ? 1 : 0;
    return n;
}

std::vector<int64_t> CRecorder::ProgressValues(uint32_t nCode)
{
    std::vector<int64_t> values;
    for (const T_NOTIFY_MSG& msg : Messages()) {
        if (msg.uMsg == m_uProgressMsg && msg.wParam == nCode) values.push_back(static_cast<int64_t>(msg.lParam));
    }
    return values;
}

std::vector<std::string> CRecorder::ProgressTexts(uint32_t nCode)
{
    std::vector<std::string> texts;
    for (const T_NOTIFY_MSG& msg : Messages()) {
        if (msg.uMsg == m_uProgressMsg && msg.wParam == nCode && IsProgressText(nCode)) texts.push_back(HeapStringOf(msg.lParam));
    }
    return texts;
}

CLogCapture::CLogCapture(CRecorder& recorder)
{
    SetLogTarget(&recorder, WM_ENGINE_LOG);
}

CLogCapture::~CLogCapture()
{
    SetLogTarget(nullptr, DEFAULT_LOG_MSG);
}

void CRecorder::Clear()
{
    std::lock_guard lock(m_mutex);
    for (const T_NOTIFY_MSG& msg : m_messages) {
        if (NotifyCarriesString(msg, m_uLogMsg, m_uProgressMsg)) FreeHeapString(msg.lParam);
    }
    m_messages.clear();
}
