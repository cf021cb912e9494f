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

TEST(DateTimeFormat, NumbersAndNamesTakeTheWidthPartAsPrintfDoes)
{
    ExpectFormats(Sample(), {
        {"%04Y/%02M/%02D %02h:%02m:%02s", "2011/03/07 09:05:02"},
        {"%Y-%M-%D %h:%m:%s.%t.%u %d", "2011-3-7 9:5:2.4.6 734202"},
        {"[%5h][%05h][%2Y][%00004D][%03t%03u]", "[    9][00009][2011][0007][004006]"},
        {"%S|%3S|%1W|%6S|%0S", "March|Mar|M| March|March"},
        {"%010W", "0000Monday"},  // a "0" pads names with zeros too, as the Windows printf does
        {"ドライブ %02h時", "ドライブ 09時"},
    });
    ExpectFormats(Sample(12, 0), {{"%10W %S", "    Sunday December"}});
    ExpectFormats(Sample(1, 6), {{"%W %S", "Saturday January"}});
    for (uint16_t nMonth : {0, 13, 65535}) ExpectFormats(Sample(nMonth, 7), {{"[%S][%10S][%3W]", "[***][***][***]"}});

    CDateTime t = Sample();
    t.m_strMonthName[2] = "März";  // the names belong to the object and go with its copies
    const CDateTime copy = t;
    EXPECT_EQ(copy.Format("%S %2S"), "März Mä");
}

TEST(DateTimeFormat, PercentSignsUnknownLettersAndUnfinishedDirectives)
{
    ExpectFormats(Sample(), {
        {"100%% %%Y", "100% %Y"},
        {"a%Qb a%12Qb", "ab ab"},  // an unknown letter prints nothing, width or not
        {"a%0%b", "ab"},           // "%" after a width part is just another letter
        {"a%-3hb", "a3hb"},        // "-" is no width part
        {"a%éb", "ab"},            // a letter beyond ASCII goes whole
        {"%Y%", "2011"},
        {"%Y%5", "2011"},
        {"%%%", "%"},
    });
    const std::string strHuge = Sample().Format("%99999999999999999999999Y");
    EXPECT_EQ(strHuge.size(), 4096u);  // padding is capped, the width never overflows
    EXPECT_TRUE(strHuge.ends_with(" 2011"));
}
