// Settings values read as integers the way GetPrivateProfileIntW reads
// them: leading digits, one sign, base prefixes, wrap-around at 32 bits;
// and as numbers that do not wrap.
#include <gtest/gtest.h>

#include "drives/profile_store_int.h"

TEST(ProfileInt, LeadingDigitsSignAndBaseDecideAndTheValueWrapsAt32Bits)
{
    const struct {
        const char* pText;
        int32_t nExpected;
    } cases[] = {
        {"16", 16}, {"4096", 4096}, {"007", 7}, {" \t 42", 42}, {"\x01\x1F" "9", 9},
        {"32MiB", 32}, {"1e3", 1}, {"12 34", 12}, {"", 0}, {"abc", 0}, {"MiB32", 0},
        {"-5", -5}, {"+7", 7}, {"--5", 0}, {"-", 0}, {"- 5", 0}, {"+-5", 0},
        {"0x1F", 31}, {"0xff", 255}, {"-0x10", -16}, {"0X10", 0}, {"0x", 0}, {"0xG", 0},
        {"0o17", 15}, {"0o8", 0}, {"0b101", 5}, {"0b2", 0}, {"08", 8}, {"09", 9},
        {"2147483647", 2147483647}, {"2147483648", INT32_MIN}, {"4294967295", -1},
        {"4294967312", 16}, {"-4294967295", 1}, {"99999999999", 1215752191},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseProfileInt(c.pText), c.nExpected) << '"' << c.pText << '"';
}

TEST(ProfileInt, SizesAndCountsReadTheSameDigitsWithoutTheWrap)
{
    EXPECT_EQ(ParseProfileNumber(" 4294967312MiB"), 4294967312);
    EXPECT_EQ(ParseProfileNumber("-0x10"), -16);
    EXPECT_EQ(ParseProfileNumber("99999999999999999999"), INT64_MAX);
    EXPECT_EQ(ParseProfileNumber("-99999999999999999999"), INT64_MIN);
}
