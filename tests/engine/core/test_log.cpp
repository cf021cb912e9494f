// Log lines: the colour and style word of each log function, the text that
// reaches the log target, and lines that have nowhere to go.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>

#include "engine/core/log.h"
#include "tests/support/recorder.h"

namespace {

constexpr uint32_t ERROR_PREFIX = 2u << LOG_WORD_PREFIX_SHIFT;
constexpr uint32_t WARNING_PREFIX = 1u << LOG_WORD_PREFIX_SHIFT;

}  // namespace

TEST(Log, EachLogFunctionPostsItsTextWithItsStyleWord)
{
    CRecorder recorder;
    CLogCapture capture(recorder);
    LogError("disk read retry out.\n");
    LogWarning("disk read error (%08I64X-%08I64X).\n", uint64_t{0}, uint64_t{0xFFFFF});
    LogInfo("  disk size=%I64u bytes.\n", uint64_t{8004304896});
    LogPost(LOG_STYLE_OK, "OK");
    LogPost(LOG_STYLE_NG, "NG");
    const struct { std::string strText; uint32_t dwWord; } expected[] = {
        {"disk read retry out.\n", ERROR_PREFIX | LOG_WORD_BACKGROUND | 0x0000FF},  // red background
        {"disk read error (00000000-000FFFFF).\n", WARNING_PREFIX | 0x00FFFF},  // yellow
        {"  disk size=8004304896 bytes.\n", 0xFFFFFF},  // plain white
        {"OK", LOG_WORD_BOLD | 0xFFFF00},  // bold cyan
        {"NG", LOG_WORD_BOLD | 0x0000FF},  // bold red
    };
    const std::vector<T_NOTIFY_MSG> messages = recorder.Messages();
    ASSERT_EQ(messages.size(), std::size(expected));
    for (size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].uMsg, WM_ENGINE_LOG);
        EXPECT_EQ(messages[i].wParam, expected[i].dwWord) << expected[i].strText;
        const char* pText = HeapStringOf(messages[i].lParam);
        EXPECT_EQ(pText, expected[i].strText);
        EXPECT_EQ(pText[std::strlen(pText) + 1], '\0');  // the array holds length + 2 characters
    }
}

TEST(Log, EffectBitsLandInTheirPlacesAndUnusedOrConflictingBitsAreIgnored)
{
    EXPECT_EQ(ComposeLogWord(0x0010 | 0x0040 | 0x0080 | 0x0100),
              LOG_WORD_BACKGROUND | LOG_WORD_ITALIC | LOG_WORD_UNDERLINE | LOG_WORD_STRIKEOUT);
    EXPECT_EQ(ComposeLogWord(0xC000), 0x000000u);  // both prefix bits: no prefix
    EXPECT_EQ(ComposeLogWord(0x3E00), 0x000000u);  // unused bits
    EXPECT_EQ(ComposeLogWord(0x4023), LOG_WORD_BOLD | WARNING_PREFIX | 0xFF00FF);
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
    EXPECT_FALSE(PostHeapString(&refusing, WM_ENGINE_LOG, 0, "refused"));
}
