#include "engine/core/notify_queue.h"

#include "engine/core/progress.h"

CNotifyQueue::~CNotifyQueue()
{
    for (const T_NOTIFY_MSG& msg : m_items) Release(msg);
}

bool CNotifyQueue::Post(uint32_t uMsg, WPARAM_T wParam, LPARAM_T lParam)
{
    {
        std::lock_guard lock(m_mutex);
        m_items.push_back(T_NOTIFY_MSG{uMsg, wParam, lParam});
    }
    m_cvPosted.notify_one();
    return true;
}

bool CNotifyQueue::Wait(T_NOTIFY_MSG& msg, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_cvPosted.wait_for(lock, timeout, [this] { return !m_items.empty(); })) return false;
    msg = m_items.front();
    m_items.pop_front();
    return true;
}

bool CNotifyQueue::TryTake(T_NOTIFY_MSG& msg)
{
    return Wait(msg, std::chrono::milliseconds(0));
}

void CNotifyQueue::Release(const T_NOTIFY_MSG& msg) const
{
    if (NotifyCarriesString(msg, m_uLogMsg, m_uProgressMsg)) FreeHeapString(msg.lParam);
}

bool NotifyCarriesString(const T_NOTIFY_MSG& msg, uint32_t uLogMsg, uint32_t uProgressMsg)
{
    if (msg.uMsg == uLogMsg) return true;
    if (msg.uMsg == WM_CHECKSUM_RESULT) return ChecksumReportCarriesString(msg.wParam);
    return msg.uMsg == uProgressMsg && IsProgressText(static_cast<uint32_t>(msg.wParam));
}
