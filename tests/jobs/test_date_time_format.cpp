// The directive language of CDateTime::Format: numbers with their width
// part, the month and day names cut and padded, and the odd corners.
#include <gtest/gtest.h>

#include <string>

#include "jobs/date_time.h"

namespace {

// 2011-03-07 09:05:02.004006, a Monday, day number 734202.
CDateTime Sample(uint16_t nMonth = 3, uint16_t nDayOfWeek = 1)
{
    CDateTime t;
    t.m_st = T_SYSTEMTIME{2011, nMonth, nDayOfWeek, 7, 9, 5, 2, 4};
    t.m_wMicrosecond = 6;
    t.m_nDays = 734202;
    return t;
}

void ExpectFormats(const CDateTime& t, std::initializer_list<std::pair<const char*, const char*>> cases)
{
    for (const auto& [pFormat, pExpected] : cases) EXPECT_EQ(t.Format(pFormat), pExpected) << '"' << pFormat << '"';
}

}  // namespace

TEST(DateTimeFormat, NumbersAndNamesTakeTheWidthPartAsPrintfDoesAndOddDirectivesStayHarmless)
{
    ExpectFormats(Sample(), {
        {"%04Y/%02M/%02D %02h:%02m:%02s.%03t%03u %d", "2011/03/07 09:05:02.004006 734202"},
        {"[%5h][%2Y][%3S][%6S][%010W]", "[    9][2011][Mar][ March][0000Monday]"},
        {"100%% a%Qb a%12Qb a%0%b a%-3hb a%éb", "100% ab ab ab a3hb ab"},
        {"%Y%5", "2011"},
        {"%%%", "%"},
    });
    for (uint16_t nMonth : {0, 13, 65535}) ExpectFormats(Sample(nMonth, 7), {{"[%S][%10S][%3W]", "[***][***][***]"}});
    CDateTime t = Sample();
    t.m_strMonthName[2] = "März";  // the names belong to the object and go with its copies
    const CDateTime copy = t;
    EXPECT_EQ(copy.Format("%S %2S"), "März Mä");
    const std::string strHuge = Sample().Format("%99999999999999999999999Y");
    EXPECT_EQ(strHuge.size(), 4096u);  // padding is capped, the width never overflows
    EXPECT_TRUE(strHuge.ends_with(" 2011"));
}
