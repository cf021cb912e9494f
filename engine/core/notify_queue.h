#pragma once
// A notify target for front ends without a window: a thread-safe queue that
// the front end drains. Whoever takes a message owns its heap string.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "engine/core/notify.h"

struct T_NOTIFY_MSG {
    uint32_t uMsg = 0;
    WPARAM_T wParam = 0;
    LPARAM_T lParam = 0;
};

class CNotifyQueue : public INotifyTarget {
public:
    explicit CNotifyQueue(uint32_t uLogMsg = WM_ENGINE_LOG, uint32_t uProgressMsg = WM_ENGINE_PROGRESS)
        : m_uLogMsg(uLogMsg), m_uProgressMsg(uProgressMsg) {}
    ~CNotifyQueue() override;
    CNotifyQueue(const CNotifyQueue&) = delete;
    CNotifyQueue& operator=(const CNotifyQueue&) = delete;

    bool Post(uint32_t uMsg, WPARAM_T wParam, LPARAM_T lParam) override;
    // Waits up to the time-out for the oldest message.
    bool Wait(T_NOTIFY_MSG& msg, std::chrono::milliseconds timeout);
    bool TryTake(T_NOTIFY_MSG& msg);

    // Frees the heap string a message of this queue carries, if any.
    void Release(const T_NOTIFY_MSG& msg) const;

private:
    const uint32_t m_uLogMsg;
    const uint32_t m_uProgressMsg;
    std::mutex m_mutex;
    std::condition_variable m_cvPosted;
    std::deque<T_NOTIFY_MSG> m_items;
};

// Whether a message carries a heap string: every log line, the speed
// texts among the progress codes, and the checksum task's digest and size.
bool NotifyCarriesString(const T_NOTIFY_MSG& msg, uint32_t uLogMsg, uint32_t uProgressMsg);
