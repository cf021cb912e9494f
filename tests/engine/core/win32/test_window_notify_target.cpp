// Posting to a real window: a message-only window on the test's thread,
// whose queue the test drains as the main window's message loop would. Log
// lines come from a worker, as in the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "engine/core/log.h"
#include "engine/core/win32/window_notify_target.h"

namespace {

struct T_WINDOW {
    HWND hWnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ~T_WINDOW() { ::DestroyWindow(hWnd); }

    // The window's posted messages, until nCount have come or 10 s are up.
    std::vector<MSG> Drain(size_t nCount) const
    {
        std::vector<MSG> received;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (received.size() < nCount && std::chrono::steady_clock::now() < deadline) {
            MSG msg;
            if (::PeekMessageW(&msg, hWnd, WM_USER, 0x7FFF, PM_REMOVE)) received.push_back(msg);
            else ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_POSTMESSAGE);
        }
        return received;
    }
};

TEST(Win32WindowNotifyTarget, LogLinesArriveAsUtf8HeapStringsWithTheirStyleWord)
{
    T_WINDOW window;
    ASSERT_NE(window.hWnd, nullptr);
    CWindowNotifyTarget target(window.hWnd);
    SetLogTarget(&target, WM_ENGINE_LOG);
    std::thread([] {
        LogError("disk read retry out.\n");
        LogInfo("%s\n", "\xE4\xB8\x8A\xE6\x9B\xB8\xE3\x81\x8D");  // "上書き"
    }).join();
    SetLogTarget(nullptr, DEFAULT_LOG_MSG);
    const std::vector<MSG> received = window.Drain(2);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].message, WM_ENGINE_LOG);
    EXPECT_EQ(received[0].wParam, ComposeLogWord(LOG_STYLE_ERROR));
    EXPECT_STREQ(HeapStringOf(received[0].lParam), "disk read retry out.\n");
    EXPECT_EQ(received[1].wParam, ComposeLogWord(LOG_STYLE_INFO));
    EXPECT_STREQ(HeapStringOf(received[1].lParam), "\xE4\xB8\x8A\xE6\x9B\xB8\xE3\x81\x8D\n");
    for (const MSG& msg : received) FreeHeapString(msg.lParam);
}

TEST(Win32WindowNotifyTarget, NoWindowOrAGoneWindowLosesThePosting)
{
    CWindowNotifyTarget none(nullptr);
    EXPECT_FALSE(none.Post(WM_ENGINE_PROGRESS, 0, 0));
    HWND hGone = T_WINDOW().hWnd;
    ASSERT_NE(hGone, nullptr);
    CWindowNotifyTarget gone(hGone);
    EXPECT_FALSE(gone.Post(WM_ENGINE_PROGRESS, 0, 0));
    EXPECT_FALSE(PostHeapString(&gone, WM_ENGINE_LOG, 0, "lost\n"));  // the sender takes its string back
    MSG msg;
    EXPECT_FALSE(::PeekMessageW(&msg, nullptr, WM_ENGINE_PROGRESS, WM_ENGINE_LOG, PM_REMOVE))
        << "a posting without a window must not land in the thread's own queue";
}

}  // namespace
