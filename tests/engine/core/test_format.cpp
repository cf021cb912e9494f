// The type-safe printf: the formats the engines use, printf's narrowing,
// arguments that do not fit the format, and the user's decimal separator.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "engine/core/format.h"
#include "engine/core/progress.h"

namespace {

TEST(Format, TheEnginesFormatsAndPrintfsNarrowing)
{
    const std::pair<std::string, std::string> cases[] = {
        {FormatText("%08I64X", uint64_t{0x1D1C0BEEF00}), "1D1C0BEEF00"},  // grows beyond eight digits
        {FormatText("(%08I64X-%08I64X)", uint64_t{0x100000}, UINT64_MAX), "(00100000-FFFFFFFFFFFFFFFF)"},
        {FormatText("%llu|%I64d", UINT64_MAX, INT64_MIN), "18446744073709551615|-9223372036854775808"},
        {FormatText("%.2f|%5.1f%%", 3, 99.96f), "3.00|100.0%"},  // integers and floats are widened
        {FormatText("%s/%s", std::string_view("a"), static_cast<const char*>(nullptr)), "a/(null)"},
        {FormatText("[%-6s|%.3s]", "ab", "abcdef"), "[ab    |abc]"},
        {FormatText("%s", "100%d %s %n"), "100%d %s %n"},  // texts are never read as formats
        {FormatText("%X|%d|%hhd", uint64_t{0x1234567890ABCDEF}, uint64_t{0xFFFFFFFF}, 200), "90ABCDEF|-1|-56"},
        {FormatText("a=%d b=%s.", 1), "a=1 b=(missing)."},
        {FormatText("[%s] %d", 3, 4), "[(bad argument)] 4"},  // later arguments keep their places
        {FormatText("%n|%p", 7, 0), "(bad argument)|(bad argument)"},
        {FormatText("50%"), "50%"},  // broken formats end without reading past them
        {FormatText("x%08", 1), "x%08"},
    };
    for (const auto& [strGot, strExpected] : cases) EXPECT_EQ(strGot, strExpected);
    const std::string strLong(5000, 'x');  // longer than any fixed buffer
    EXPECT_EQ(FormatText("<%s>", strLong), "<" + strLong + ">");
}

// The front ends' start-up: a user whose locale writes "12,35" sees that.
// Its test entry runs it with LC_ALL=de_DE.UTF-8 (Wine takes the Windows
// user's locale from it) and GM_EXPECT_DECIMAL_COMMA set; elsewhere it is
// skipped unless the user's locale happens to have a decimal comma.
TEST(UserLocale, RealNumbersShowTheUsersDecimalSeparator)
{
    UseUserLocale();
    const std::string strPoint = std::localeconv()->decimal_point;
    const std::string strSpeed = SpeedText(12'345'678.0), strSize = FormatText("(%6.2f%s)", 14.906, "GiB");
    std::setlocale(LC_ALL, "C");  // every other test runs in the C locale
    if (strPoint != "," && std::getenv("GM_EXPECT_DECIMAL_COMMA") == nullptr)
        GTEST_SKIP() << "the user's locale has a decimal \"" << strPoint << "\"; run with LC_ALL=de_DE.UTF-8";
    EXPECT_EQ(strSpeed + strSize, "    12,35MB/s( 14,91GiB)");
}

}  // namespace
