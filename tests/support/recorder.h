#pragma once
// A notify target that records every posted message for the test to read,
// and frees the heap strings it was given when it goes.
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/notify_queue.h"

struct T_LOG_LINE {
    uint32_t dwWord = 0;
    std::string strText;
};

class CRecorder : public INotifyTarget {
public:
    explicit CRecorder(uint32_t uLogMsg = WM_ENGINE_LOG, uint32_t uProgressMsg = WM_ENGINE_PROGRESS)
        : m_uLogMsg(uLogMsg), m_uProgressMsg(uProgressMsg) {}
    ~CRecorder() override;
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    bool Post(uint32_t uMsg, WPARAM_T wParam, LPARAM_T lParam) override;

    std::vector<T_NOTIFY_MSG> Messages();
    // Forgets everything recorded so far.
    void Clear();
    std::vector<T_LOG_LINE> LogLines();
    // All log texts joined, for searching.
    std::string LogText();
    size_t CountLines(const std::string& strText);
    // Progress messages with this code: numbers, or texts for speed codes.
    std::vector<int64_t> ProgressValues(uint32_t nCode);
    std::vector<std::string> ProgressTexts(uint32_t nCode);

private:
    const uint32_t m_uLogMsg;
    const uint32_t m_uProgressMsg;
    std::mutex m_mutex;
    std::vector<T_NOTIFY_MSG> m_messages;
};

// Makes the recorder the process's log target for the scope's lifetime.
class CLogCapture {
public:
    explicit CLogCapture(CRecorder& recorder);
    ~CLogCapture();
    CLogCapture(const CLogCapture&) = delete;
    CLogCapture& operator=(const CLogCapture&) = delete;
};
