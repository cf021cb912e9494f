// The INI text behind the POSIX store: which lines count when reading, what
// a write changes (one line, nothing else), and values that would break the
// file's lines.
#include <gtest/gtest.h>

#include <string>

#include "drives/profile_store_document.h"

using namespace std::literals;

namespace {

std::string Read(std::string_view strText)
{
    return CProfileDocument(strText).Find("Gravelmoor", "Buffer").value_or("(none)");
}

std::string AfterSet(std::string_view strText, std::string_view strKey, std::string_view strValue)
{
    CProfileDocument document(strText);
    return document.Set("Gravelmoor", strKey, strValue) ? document.Text() : "(refused)";
}

}  // namespace

TEST(ProfileDocument, LinesThatAreNotTextOrHaveNoEqualsSignAreIgnored)
{
    EXPECT_EQ(Read("\x7F" "ELF\x02\x01\0\0\n[Gravelmoor]\nBuffer=32\n"sv), "32");
    EXPECT_EQ(Read("[Gravelmoor]\nBuffer=3\0" "2\nBuffer=\xFF\xFE\nBuffer\nBuffer 9\nBuffer=64"sv), "64");
    EXPECT_EQ(Read("[Gravelmoor]\nX=1\n[\xC0\xAF]\nBuffer=64\n"), "(none)");  // a broken header still ends a section
    EXPECT_EQ(Read("[Gravelmoor\nBuffer=64\n"), "(none)");
    EXPECT_EQ(Read("\xEF\xBB\xBF[Gravelmoor] ; note\rBuffer = a = b\r"), "a = b");
    EXPECT_EQ(Read("[Gravelmoor]\nBuffer=ドライブE\n"), "ドライブE");
}

TEST(ProfileDocument, ASetChangesOneLineAndKeepsTheRestByteForByte)
{
    const std::string strOdd = "\xEF\xBB\xBF; top\r\n\x01\xFF junk\0\r\n[gravelmoor]\r\n  buffer = 8 \r\n\r\n[Next]\r\nX=1"s;
    const std::string strHead = "\xEF\xBB\xBF; top\r\n\x01\xFF junk\0\r\n[gravelmoor]\r\n"s;
    EXPECT_EQ(AfterSet(strOdd, "Buffer", "4096"), strHead + "buffer=4096\r\n\r\n[Next]\r\nX=1");
    // A new key goes after the section's last line, before its blank lines,
    // with the file's own line ends.
    EXPECT_EQ(AfterSet(strOdd, "ShowCDROM", "1"), strHead + "  buffer = 8 \r\nShowCDROM=1\r\n\r\n[Next]\r\nX=1");
    EXPECT_EQ(AfterSet("[Other]\nX=1", "Buffer", "16"), "[Other]\nX=1\n\n[Gravelmoor]\nBuffer=16\n");
    EXPECT_EQ(AfterSet("", "Buffer", "16"), "[Gravelmoor]\nBuffer=16\n");
    EXPECT_EQ(AfterSet("Buffer=1\n[Gravelmoor]", "Buffer", "2"), "Buffer=1\n[Gravelmoor]\nBuffer=2\n");
}

TEST(ProfileDocument, NamesAndValuesThatWouldBreakTheLinesAreRefused)
{
    for (const auto& [strKey, strValue] : {std::pair{"Buffer"sv, "16\nShowCDROM=1"sv}, {"Buffer"sv, "16\r"sv},
                                           {"Buffer"sv, "1\0"sv}, {"Bu=ffer"sv, "1"sv}, {"[Buffer"sv, "1"sv},
                                           {" "sv, "1"sv}})
        EXPECT_EQ(AfterSet("[Gravelmoor]\n", strKey, strValue), "(refused)") << strKey << "=" << strValue;
    CProfileDocument document;
    EXPECT_FALSE(document.Set("Grav]elmoor", "Buffer", "1") || document.Set("", "Buffer", "1"));
    EXPECT_EQ(document.Text(), "");
}
