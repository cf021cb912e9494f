// The directive language of CDateTime::Format: numbers with their width
// part, the month and day names cut and padded, and the odd corners of the
// language (unknown letters, a format that ends inside a directive).
#include <gtest/gtest.h>

#include <string>

#include "jobs/date_time.h"

namespace {

// 2011-03-07 09:05:02.004006, a Monday, day number 734202.
CDateTime Sample()
{
    CDateTime t;
    t.m_st = T_SYSTEMTIME{2011, 3, 1, 7, 9, 5, 2, 4};
    t.m_wMicrosecond = 6;
    t.m_nDays = t.GetDayNumber();
    return t;
}

struct T_CASE {
    const char* pFormat;
    const char* pExpected;
};

void ExpectFormats(const CDateTime& t, std::initializer_list<T_CASE> cases)
{
    for (const T_CASE& c : cases) EXPECT_EQ(t.Format(c.pFormat), c.pExpected) << "format \"" << c.pFormat << "\"";
}

}  // namespace

TEST(DateTimeFormat, NumbersTakeTheWidthPartAsPrintfDoes)
{
    ExpectFormats(Sample(), {
        {"%04Y/%02M/%02D %02h:%02m:%02s", "2011/03/07 09:05:02"},
        {"%Y-%M-%D %h:%m:%s.%t.%u", "2011-3-7 9:5:2.4.6"},
        {"%03t%03u", "004006"},
        {"%d days", "734202 days"},
        {"[%5h][%05h][%1Y][%00004D]", "[    9][00009][2011][0007]"},
        {"%2Y", "2011"},  // a number wider than its width is not cut
        {"", ""},
        {"ドライブ %02h時", "ドライブ 09時"},
    });
}

TEST(DateTimeFormat, NamesAreCutToTheWidthAndPaddedOnTheLeft)
{
    CDateTime t = Sample();
    ExpectFormats(t, {
        {"%S", "March"},
        {"%3S %3W", "Mar Mon"},
        {"%1W|%6S|%8S", "M| March|   March"},
        {"%010W", "0000Monday"},  // the "0" flag pads names with zeros as the Windows printf does
        {"%0S", "March"},
    });
    t.m_st.wDayOfWeek = 0;
    t.m_st.wMonth = 12;
    ExpectFormats(t, {{"%10W", "    Sunday"}, {"%S %W", "December Sunday"}});
    t.m_st.wDayOfWeek = 6;
    t.m_st.wMonth = 1;
    ExpectFormats(t, {{"%W %S", "Saturday January"}});
    // A name array is the object's own and goes with its copies.
    t.m_strMonthName[0] = "Januar";
    const CDateTime copy = t;
    EXPECT_EQ(copy.Format("%S"), "Januar");
    EXPECT_EQ(Sample().Format("%S"), "March");
}

TEST(DateTimeFormat, NamesOutsideTheTablesPrintStarsWithoutWidth)
{
    for (uint16_t nMonth : {0, 13, 65535}) {
        CDateTime t = Sample();
        t.m_st.wMonth = nMonth;
        EXPECT_EQ(t.Format("[%S][%10S][%M]"), "[***][***][" + std::to_string(nMonth) + "]");
    }
    CDateTime t = Sample();
    t.m_st.wDayOfWeek = 7;
    EXPECT_EQ(t.Format("[%W][%3W]"), "[***][***]");
}

TEST(DateTimeFormat, PercentSignsUnknownLettersAndUnfinishedDirectives)
{
    ExpectFormats(Sample(), {
        {"100%%", "100%"},
        {"%%Y", "%Y"},
        {"a%Qb", "ab"},      // an unknown letter prints nothing
        {"a%12Qb", "ab"},    // nor with a width part
        {"a%0%b", "ab"},     // "%" after a width part is a letter like any other
        {"a%-3hb", "a3hb"},  // "-" is no width part: "%-" prints nothing and "3h" stays
        {"a%éb", "ab"},      // a character beyond ASCII goes whole
        {"%Y%", "2011"},     // "%" at the end
        {"%Y%5", "2011"},    // a width part at the end
        {"%%%", "%"},
    });
}

TEST(DateTimeFormat, AHugeWidthPadsAtMostAPageAndNeverOverflows)
{
    const std::string strOut = Sample().Format("%99999999999999999999999Y");
    EXPECT_EQ(strOut.size(), 4096u);
    EXPECT_TRUE(strOut.ends_with(" 2011"));
}
