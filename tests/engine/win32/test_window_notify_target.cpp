// Posting to a real window: a message-only window on the test's thread,
// whose queue the test pumps as the main window's message loop would.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "engine/log.h"
#include "engine/notify_queue.h"
#include "engine/win32/window_notify_target.h"

namespace {

class CMessageSink {
public:
    CMessageSink()
    {
        static const ATOM atom = RegisterSinkClass();
        m_hWnd = ::CreateWindowExW(0, MAKEINTATOM(atom), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
        if (m_hWnd) ::SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CMessageSink()
    {
        Destroy();
        for (const T_NOTIFY_MSG& msg : m_received) {
            if (msg.uMsg == WM_ENGINE_LOG) FreeHeapString(msg.lParam);
        }
    }
    CMessageSink(const CMessageSink&) = delete;
    CMessageSink& operator=(const CMessageSink&) = delete;

    HWND Window() const { return m_hWnd; }
    void Destroy()
    {
        if (m_hWnd) ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }

    // Runs the thread's message loop until nCount messages have arrived or
    // the time is up.
    const std::vector<T_NOTIFY_MSG>& Pump(size_t nCount, std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (m_received.size() < nCount && std::chrono::steady_clock::now() < deadline) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return m_received;
    }

private:
    static ATOM RegisterSinkClass()
    {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"GravelmoorTestMessageSink";
        return ::RegisterClassExW(&wc);
    }

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        auto* pSink = reinterpret_cast<CMessageSink*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
        if (pSink && uMsg >= WM_USER) {
            pSink->m_received.push_back(T_NOTIFY_MSG{uMsg, wParam, lParam});
            return 0;
        }
        return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }

    HWND m_hWnd = nullptr;
    std::vector<T_NOTIFY_MSG> m_received;
};

constexpr auto PUMP_TIMEOUT = std::chrono::seconds(10);

TEST(Win32WindowNotifyTarget, WorkersMessagesReachTheWindowInTheirOrder)
{
    CMessageSink sink;
    ASSERT_NE(sink.Window(), nullptr) << ::GetLastError();
    CWindowNotifyTarget target(sink.Window());

    constexpr int WORKERS = 3;
    constexpr int PER_WORKER = 200;
    std::vector<std::thread> workers;
    for (int w = 0; w < WORKERS; ++w) {
        workers.emplace_back([&target, w] {
            for (int i = 0; i < PER_WORKER; ++i) {
                // wParam: the worker; lParam: its sequence number.
                EXPECT_TRUE(target.Post(WM_ENGINE_PROGRESS, static_cast<WPARAM_T>(w), i));
            }
        });
    }
    for (std::thread& worker : workers) worker.join();

    const auto& received = sink.Pump(WORKERS * PER_WORKER, PUMP_TIMEOUT);
    ASSERT_EQ(received.size(), static_cast<size_t>(WORKERS * PER_WORKER));
    std::vector<LPARAM_T> next(WORKERS, 0);
    for (const T_NOTIFY_MSG& msg : received) {
        ASSERT_EQ(msg.uMsg, WM_ENGINE_PROGRESS);
        ASSERT_LT(msg.wParam, static_cast<WPARAM_T>(WORKERS));
        EXPECT_EQ(msg.lParam, next[msg.wParam]++) << "worker " << msg.wParam << " out of order";
    }
}

TEST(Win32WindowNotifyTarget, LogLinesArriveAsUtf8HeapStringsWithTheirStyleWord)
{
    CMessageSink sink;
    ASSERT_NE(sink.Window(), nullptr);
    CWindowNotifyTarget target(sink.Window());
    SetLogTarget(&target, WM_ENGINE_LOG);
    std::thread worker([] {
        LogError("disk read retry out.\n");
        LogInfo("%s\n", "\xE4\xB8\x8A\xE6\x9B\xB8\xE3\x81\x8D");  // "上書き"
    });
    worker.join();
    SetLogTarget(nullptr, DEFAULT_LOG_MSG);

    const auto& received = sink.Pump(2, PUMP_TIMEOUT);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].uMsg, WM_ENGINE_LOG);
    EXPECT_EQ(received[0].wParam, ComposeLogWord(LOG_STYLE_ERROR));
    EXPECT_STREQ(HeapStringOf(received[0].lParam), "disk read retry out.\n");
    EXPECT_EQ(received[1].wParam, ComposeLogWord(LOG_STYLE_INFO));
    EXPECT_STREQ(HeapStringOf(received[1].lParam), "\xE4\xB8\x8A\xE6\x9B\xB8\xE3\x81\x8D\n");
}

TEST(Win32WindowNotifyTarget, NoWindowOrAGoneWindowLosesThePosting)
{
    CWindowNotifyTarget none(nullptr);
    EXPECT_FALSE(none.Post(WM_ENGINE_PROGRESS, 0, 0));

    CMessageSink sink;
    ASSERT_NE(sink.Window(), nullptr);
    CWindowNotifyTarget target(sink.Window());
    sink.Destroy();
    EXPECT_FALSE(target.Post(WM_ENGINE_PROGRESS, 0, 0));
    // The sender takes its string back when the posting fails.
    EXPECT_FALSE(PostHeapString(&target, WM_ENGINE_LOG, 0, "lost\n"));
    EXPECT_FALSE(none.Post(WM_ENGINE_PROGRESS, 0, 0));
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_ENGINE_PROGRESS, WM_ENGINE_LOG, PM_REMOVE))
        << "a posting without a window must not land in the thread's own queue";
}

}  // namespace
