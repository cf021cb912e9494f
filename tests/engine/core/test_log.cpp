// Log lines: the text and style word each log function posts, and lines
// that have nowhere to go.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

#include "engine/core/log.h"
#include "tests/support/recorder.h"

namespace {

TEST(Log, EachLogFunctionPostsItsTextWithItsStyleWord)
{
    CRecorder recorder;
    CLogCapture capture(recorder);
    LogError("disk read retry out.\n");
    LogWarning("disk read error (%08I64X-%08I64X).\n", uint64_t{0}, uint64_t{0xFFFFF});
    LogInfo("  disk size=%I64u bytes.\n", uint64_t{8004304896});
    LogPost(LOG_STYLE_OK, "OK");
    const struct { std::string strText; uint32_t dwWord; } expected[] = {
        {"disk read retry out.\n", (2u << LOG_WORD_PREFIX_SHIFT) | LOG_WORD_BACKGROUND | 0x0000FF},  // red ground
        {"disk read error (00000000-000FFFFF).\n", (1u << LOG_WORD_PREFIX_SHIFT) | 0x00FFFF},  // yellow
        {"  disk size=8004304896 bytes.\n", 0xFFFFFF},  // plain white
        {"OK", LOG_WORD_BOLD | 0xFFFF00},  // bold cyan
    };
    const std::vector<T_NOTIFY_MSG> messages = recorder.Messages();
    ASSERT_EQ(messages.size(), std::size(expected));
    for (size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].wParam, expected[i].dwWord) << expected[i].strText;
        const char* pText = HeapStringOf(messages[i].lParam);
        EXPECT_EQ(pText, expected[i].strText);
        EXPECT_EQ(pText[std::strlen(pText) + 1], '\0');  // the array holds length + 2 characters
    }
}

TEST(Log, LinesWithNowhereToGoAreDroppedWithoutLeaking)
{
    // The leak checker of the sanitizer build watches the dropped texts.
    struct : INotifyTarget {  // a target whose queue is full
        bool Post(uint32_t, WPARAM_T, LPARAM_T) override { ++nOffered; return false; }
        int nOffered = 0;
    } refusing;
    SetLogTarget(nullptr, WM_ENGINE_LOG);
    LogInfo("nobody listens %d\n", 1);
    SetLogTarget(&refusing, WM_ENGINE_LOG);
    LogWarning("refused %s\n", "line");
    SetLogTarget(nullptr, DEFAULT_LOG_MSG);
    EXPECT_EQ(refusing.nOffered, 1);
    EXPECT_FALSE(PostHeapString(nullptr, WM_ENGINE_LOG, 0, "lost"));
}

}  // namespace
