// The type-safe printf: the formats the engines' log lines use, printf's own
// narrowing rules, and what happens when arguments do not fit the format.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "engine/format.h"

TEST(FormatOffsetsAndCounts, SixtyFourBitHexPadsToEightDigitsAndGrowsBeyond)
{
    EXPECT_EQ(FormatText("%08I64X", uint64_t{0x1F}), "0000001F");
    EXPECT_EQ(FormatText("%08I64X", uint64_t{0}), "00000000");
    EXPECT_EQ(FormatText("%08I64X", uint64_t{0x1D1C0BEEF00}), "1D1C0BEEF00");
    EXPECT_EQ(FormatText("%08I64X", UINT64_MAX), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(FormatText("(%08I64X-%08I64X)", uint64_t{0x100000}, uint64_t{0x1FFFFF}), "(00100000-001FFFFF)");
}

TEST(FormatOffsetsAndCounts, SixtyFourBitUnsignedPrintsEveryDigit)
{
    EXPECT_EQ(FormatText("%I64u", uint64_t{2000398934016}), "2000398934016");
    EXPECT_EQ(FormatText("%I64u", UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(FormatText("size=%I64u bytes.", 0), "size=0 bytes.");
    EXPECT_EQ(FormatText("%llu", UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(FormatText("%I64d", INT64_MIN), "-9223372036854775808");
}

TEST(FormatOffsetsAndCounts, WithoutASizePrefixIntegersNarrowToThirtyTwoBitsAsPrintfDoes)
{
    EXPECT_EQ(FormatText("%X", uint64_t{0x1234567890ABCDEF}), "90ABCDEF");
    EXPECT_EQ(FormatText("%08X", uint64_t{0x100000000}), "00000000");
    EXPECT_EQ(FormatText("%u", -1), "4294967295");
    EXPECT_EQ(FormatText("%d", uint64_t{0xFFFFFFFF}), "-1");
    EXPECT_EQ(FormatText("%d", int64_t{0x100000005}), "5");
    EXPECT_EQ(FormatText("%I32X", uint64_t{0xABCD00001234}), "1234");
    EXPECT_EQ(FormatText("%hu", 70000), "4464");
    EXPECT_EQ(FormatText("%hhd", 200), "-56");
}

TEST(FormatEngineFormats, SmallIntegersCharactersAndTheirFlags)
{
    EXPECT_EQ(FormatText("%08X", 0xBEEFu), "0000BEEF");
    EXPECT_EQ(FormatText("%d", -42), "-42");
    EXPECT_EQ(FormatText("[%5d|%-5d]", 42, 42), "[   42|42   ]");
    EXPECT_EQ(FormatText("%c:", 'E'), "E:");
    EXPECT_EQ(FormatText("%c", 0x141), "A");  // printf keeps the low byte
    EXPECT_EQ(FormatText("%#x", 255), "0xff");
}

TEST(FormatEngineFormats, HexBytesOfADigestAreTwoLowerCaseDigitsEach)
{
    const uint8_t bytes[] = {0x00, 0x0a, 0xff, 0x7f};
    std::string strText;
    for (uint8_t b : bytes) strText += FormatText("%02x", b);
    EXPECT_EQ(strText, "000aff7f");
}

TEST(FormatEngineFormats, RealsRoundToTheGivenPrecision)
{
    EXPECT_EQ(FormatText("%.2f", 12.345678), "12.35");
    EXPECT_EQ(FormatText("%.2f", 0.0), "0.00");
    EXPECT_EQ(FormatText("%.2f", 1500.0), "1500.00");
    EXPECT_EQ(FormatText("%.2f", 3), "3.00");  // an integer argument is widened
    EXPECT_EQ(FormatText("%.1f%%", 99.96f), "100.0%");  // a float is widened too
}

TEST(FormatEngineFormats, TextsOfEveryKindAndPercentSigns)
{
    const std::string strOwned = "\\\\.\\PhysicalDrive1";
    EXPECT_EQ(FormatText("open %s failed.\n", strOwned), "open \\\\.\\PhysicalDrive1 failed.\n");
    EXPECT_EQ(FormatText("%s/%s", "a", std::string_view("b")), "a/b");
    EXPECT_EQ(FormatText("%s", static_cast<const char*>(nullptr)), "(null)");
    EXPECT_EQ(FormatText("100%%"), "100%");
    EXPECT_EQ(FormatText("%d%%", 50), "50%");
    EXPECT_EQ(FormatText("[%-6s|%6s]", "ab", "cd"), "[ab    |    cd]");
    EXPECT_EQ(FormatText("%.3s", "abcdef"), "abc");
    EXPECT_EQ(FormatText("ドライブ %s", "Ｅ"), "ドライブ Ｅ");  // UTF-8 passes through
}

TEST(FormatEngineFormats, TextArgumentsAreNeverReadAsFormats)
{
    EXPECT_EQ(FormatText("%s", "100%d %s %n"), "100%d %s %n");
}

TEST(FormatEngineFormats, LongResultsAreNotCutShort)
{
    const std::string strLong(5000, 'x');
    EXPECT_EQ(FormatText("<%s>", strLong), "<" + strLong + ">");
    EXPECT_EQ(FormatText("%300d", 7).size(), 300u);
}

TEST(FormatBadArguments, AMissingArgumentPrintsAMarkerAndTheRestGoesOn)
{
    const std::string strText = FormatText("a=%d b=%s c=%I64u.", 1);
    EXPECT_EQ(strText.rfind("a=1 b=", 0), 0u) << strText;
    EXPECT_NE(strText.find("(missing)"), std::string::npos) << strText;
    EXPECT_EQ(strText.back(), '.');
}

TEST(FormatBadArguments, AnArgumentOfTheWrongKindPrintsAMarker)
{
    EXPECT_EQ(FormatText("%s", 42), "(bad argument)");
    EXPECT_EQ(FormatText("%d", "text"), "(bad argument)");
    EXPECT_EQ(FormatText("%08I64X", std::string("0x10")), "(bad argument)");
    EXPECT_EQ(FormatText("%c", 1.5), "(bad argument)");
    EXPECT_EQ(FormatText("[%s] %d", 3, 4), "[(bad argument)] 4");  // later arguments keep their places
}

TEST(FormatBadArguments, ConversionsThatWouldTouchMemoryAreRefused)
{
    int nUntouched = 7;
    EXPECT_EQ(FormatText("%n", nUntouched), "(bad argument)");
    EXPECT_EQ(nUntouched, 7);
    EXPECT_EQ(FormatText("%p", 0), "(bad argument)");
}

TEST(FormatBadArguments, BrokenFormatsEndWithoutReadingPastThem)
{
    EXPECT_EQ(FormatText("50%"), "50%");
    EXPECT_EQ(FormatText("x%08", 1), "x%08");
    EXPECT_EQ(FormatText("x%I6", 1), "x(bad argument)");
    EXPECT_EQ(FormatText("%y", 1), "(bad argument)");
    EXPECT_EQ(FormatText("only text", 1, 2), "only text");  // extra arguments are ignored
}
