#pragma once
// A count of wake-ups that one thread hands another: every Signal lets one
// Wait return, and a Signal that comes before its Wait is kept, however
// many come. A waiter that must also stop for other reasons checks them
// after it wakes; whoever stops it sets those first and then signals.
#include <condition_variable>
#include <cstdint>
#include <mutex>

class CWakeCount {
public:
    CWakeCount() = default;
    virtual ~CWakeCount() = default;
    CWakeCount(const CWakeCount&) = delete;
    CWakeCount& operator=(const CWakeCount&) = delete;

    void Signal()
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_nCount;
        }
        m_cv.notify_one();
    }
    // Waits without time limit for a signal and takes it.
    void Wait()
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_nCount > 0; });
        --m_nCount;
    }
    // Forgets the signals not yet taken, for a new run.
    void Reset()
    {
        std::lock_guard lock(m_mutex);
        m_nCount = 0;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    uint64_t m_nCount = 0;
};
