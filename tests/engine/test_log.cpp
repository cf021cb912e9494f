// Log lines: the colour and style word of each log function, the text that
// reaches the log target, and lines that have nowhere to go.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "engine/log.h"
#include "tests/support/recorder.h"

namespace {

constexpr uint32_t COLOR_MASK = 0xFFFFFF;

// Every line logged in the scope, as the window would receive them.
class LogTest : public ::testing::Test {
protected:
    std::vector<T_LOG_LINE> Lines() { return m_recorder.LogLines(); }
    T_LOG_LINE OnlyLine()
    {
        std::vector<T_LOG_LINE> lines = Lines();
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? T_LOG_LINE{} : lines.front();
    }

    CRecorder m_recorder;
    CLogCapture m_capture{m_recorder};
};

// A target whose queue is full: every posting fails.
class CRefusingTarget : public INotifyTarget {
public:
    bool Post(uint32_t, WPARAM_T, LPARAM_T) override
    {
        ++m_nOffered;
        return false;
    }
    int m_nOffered = 0;
};

}  // namespace

TEST_F(LogTest, AnErrorIsRedBackgroundWithTheErrorPrefix)
{
    LogError("disk read retry out.\n");
    EXPECT_EQ(m_recorder.Messages().at(0).uMsg, WM_ENGINE_LOG);
    T_LOG_LINE line = OnlyLine();
    EXPECT_EQ(line.strText, "disk read retry out.\n");
    EXPECT_EQ(line.dwWord & COLOR_MASK, 0x0000FFu);
    EXPECT_NE(line.dwWord & LOG_WORD_BACKGROUND, 0u);
    EXPECT_EQ(line.dwWord >> LOG_WORD_PREFIX_SHIFT, 2u);
    EXPECT_EQ(LogPrefixText(LogPrefixOf(line.dwWord)), "[ERROR] ");
}

TEST_F(LogTest, AWarningIsYellowTextWithTheWarningPrefix)
{
    LogWarning("disk read error (%08I64X-%08I64X).\n", uint64_t{0}, uint64_t{0xFFFFF});
    T_LOG_LINE line = OnlyLine();
    EXPECT_EQ(line.strText, "disk read error (00000000-000FFFFF).\n");
    EXPECT_EQ(line.dwWord, (1u << LOG_WORD_PREFIX_SHIFT) | 0x00FFFFu);
    EXPECT_EQ(LogPrefixText(LogPrefixOf(line.dwWord)), "[WARNING] ");
}

TEST_F(LogTest, InformationIsPlainWhiteText)
{
    LogInfo("  disk size=%I64u bytes.\n", uint64_t{8004304896});
    T_LOG_LINE line = OnlyLine();
    EXPECT_EQ(line.strText, "  disk size=8004304896 bytes.\n");
    EXPECT_EQ(line.dwWord, 0xFFFFFFu);
    EXPECT_EQ(LogPrefixText(LogPrefixOf(line.dwWord)), "");
}

TEST_F(LogTest, VerdictWordsAreBoldCyanAndBoldRed)
{
    LogPost(LOG_STYLE_OK, "OK");
    LogPost(LOG_STYLE_NG, "NG");
    std::vector<T_LOG_LINE> lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].strText, "OK");
    EXPECT_EQ(lines[0].dwWord, LOG_WORD_BOLD | 0xFFFF00u);
    EXPECT_EQ(lines[1].strText, "NG");
    EXPECT_EQ(lines[1].dwWord, LOG_WORD_BOLD | 0x0000FFu);
}

TEST_F(LogTest, TheHeapTextCarriesTwoTerminators)
{
    LogInfo("%s", "abc");
    std::vector<T_NOTIFY_MSG> messages = m_recorder.Messages();
    ASSERT_EQ(messages.size(), 1u);
    const char* p = HeapStringOf(messages[0].lParam);
    EXPECT_EQ(std::strlen(p), 3u);
    EXPECT_EQ(p[4], '\0');  // the array holds length + 2 characters
}

TEST(LogStyleWord, EveryStyleRequestBitLandsInItsPlace)
{
    struct T_CASE {
        uint16_t nRequest;
        uint32_t dwWord;
    };
    const T_CASE cases[] = {
        {0x0000, 0x000000},
        {0x0009, 0xC00000},
        {0x000E, 0x00C0C0},
        {0x0010, LOG_WORD_BACKGROUND},
        {0x0040, LOG_WORD_ITALIC},
        {0x0080, LOG_WORD_UNDERLINE},
        {0x0100, LOG_WORD_STRIKEOUT},
        {0xC000, 0x000000},           // both prefix bits: no prefix
        {0x3E00, 0x000000},           // unused bits are ignored
        {0x81F9, 0xAFC00000},         // everything at once, error prefix
        {0x4023, LOG_WORD_BOLD | 0x40000000u | 0xFF00FFu},
    };
    for (const T_CASE& c : cases) {
        EXPECT_EQ(ComposeLogWord(c.nRequest), c.dwWord) << std::hex << c.nRequest;
    }
    // The four effect bits, shifted down, are the rich-edit effect flags.
    EXPECT_EQ((ComposeLogWord(0x1E0) >> 24) & 0xF, 0xFu);
}

TEST(LogTarget, LinesWithNowhereToGoAreDroppedWithoutLeaking)
{
    // The leak checker of the sanitizer build watches the dropped texts.
    SetLogTarget(nullptr, WM_ENGINE_LOG);
    LogInfo("nobody listens %d\n", 1);
    EXPECT_FALSE(PostHeapString(nullptr, WM_ENGINE_LOG, 0, "lost"));

    CRefusingTarget target;  // its queue is full
    SetLogTarget(&target, WM_ENGINE_LOG);
    LogWarning("refused %s\n", "line");
    SetLogTarget(nullptr, DEFAULT_LOG_MSG);
    EXPECT_EQ(target.m_nOffered, 1);
    EXPECT_FALSE(PostHeapString(&target, WM_ENGINE_LOG, 0, "refused"));
}

TEST_F(LogTest, LinesFromManyThreadsAllArriveWholeAndInEachThreadsOrder)
{
    constexpr int THREADS = 4;
    constexpr int LINES = 250;
    std::vector<std::future<void>> workers;
    for (int t = 0; t < THREADS; ++t) {
        workers.push_back(std::async(std::launch::async, [t] {
            for (int i = 0; i < LINES; ++i) LogWarning("thread %d line %d\n", t, i);
        }));
    }
    for (auto& w : workers) w.get();
    std::vector<int> nextOf(THREADS, 0);
    for (const T_LOG_LINE& line : Lines()) {
        int t = -1;
        int i = -1;
        ASSERT_EQ(std::sscanf(line.strText.c_str(), "thread %d line %d\n", &t, &i), 2) << line.strText;
        ASSERT_TRUE(t >= 0 && t < THREADS);
        EXPECT_EQ(i, nextOf[t]++);
        EXPECT_EQ(line.dwWord, ComposeLogWord(LOG_STYLE_WARNING));
    }
    EXPECT_EQ(nextOf, std::vector<int>(THREADS, LINES));
}
