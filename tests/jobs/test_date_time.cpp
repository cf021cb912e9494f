// Day numbers and microsecond counts of CDateTime at the calendar's edges,
// the length of a job taken from two readings of the clock, and the format
// directives.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>

#include "jobs/date_time.h"
#include "jobs/local_clock.h"

namespace {

constexpr int64_t DAY_US = 86'400'000'000;
constexpr int64_t LAST_DAY = 23936165;     // 65535-12-31, the last day the year field holds
constexpr int64_t MAX_DAYS = 106751991;    // whole days in the largest 64-bit count

CDateTime At(uint16_t y, uint16_t m, uint16_t d, uint16_t hh = 0, uint16_t mm = 0, uint16_t ss = 0, uint16_t ms = 0)
{
    CDateTime t;
    t.m_st = T_SYSTEMTIME{y, m, 0, d, hh, mm, ss, ms};
    return t;
}

}  // namespace

// The first day, the epoch, a 100th year without its leap day and a 400th
// with it, a year's turn and the last day the fields hold; each count
// splits into every field and reads back, with either sign.
TEST(DateTime, CountsSplitIntoTheRightDayAndFieldsAtTheCalendarsEdgesAndReadBack)
{
    const std::pair<int64_t, const char*> cases[] = {
        {DAY_US - 1, "0 0001-01-01 23:59:59.999999 Monday"},
        {719162 * DAY_US + 1, "719162 1970-01-01 00:00:00.000001 Thursday"},
        {693654 * DAY_US - 1000, "693653 1900-02-28 23:59:59.999000 Wednesday"},
        {693654 * DAY_US, "693654 1900-03-01 00:00:00.000000 Thursday"},
        {730178 * DAY_US + 45'296'789'012, "730178 2000-02-29 12:34:56.789012 Tuesday"},
        {730179 * DAY_US, "730179 2000-03-01 00:00:00.000000 Wednesday"},
        {739251 * DAY_US - 1, "739250 2024-12-31 23:59:59.999999 Tuesday"},
        {739251 * DAY_US, "739251 2025-01-01 00:00:00.000000 Wednesday"},
        {(LAST_DAY + 1) * DAY_US - 1, "23936165 65535-12-31 23:59:59.999999 Tuesday"},
    };
    for (const auto& [nCount, pszText] : cases) {
        for (const int64_t v : {nCount, -nCount}) {
            CDateTime t;
            t.SetMicroseconds(v);
            EXPECT_EQ(t.Format("%d %04Y-%02M-%02D %02h:%02m:%02s.%03t%03u %W"), pszText) << v;
            EXPECT_EQ(t.GetDayNumber(), t.m_nDays) << v;
            EXPECT_EQ(t.m_bNegative, v < 0);
            EXPECT_EQ(t.GetMicroseconds(), v);
        }
    }
}

TEST(DateTime, OutOfRangeFieldsAndCountsNeitherReadOutsideTheCalendarNorOverflow)
{
    EXPECT_EQ(At(2001, 13, 1).GetDayNumber(), At(2002, 1, 1).GetDayNumber());  // months beyond the table
    EXPECT_EQ(At(2001, 0, 40).GetDayNumber(), At(2001, 2, 9).GetDayNumber());
    EXPECT_EQ(At(0, 1, 1).GetDayNumber() + At(1, 1, 0).GetDayNumber(), 0u);  // before the first day
    EXPECT_GT(At(65535, 65535, 65535, 65535, 65535, 65535, 65535).GetMicroseconds(), 0);

    CDateTime t;
    t.SetMicroseconds(std::numeric_limits<int64_t>::min());  // no positive counterpart in 64 bits
    EXPECT_EQ(t.Format("%d %Y-%M-%D %h:%m:%s.%t%u"), "106751991 65535-12-31 4:0:54.775808");
    EXPECT_TRUE(t.m_bNegative);
    t.SetMicroseconds(LAST_DAY * DAY_US);
    EXPECT_EQ(t.SubtractMicroseconds(std::numeric_limits<int64_t>::min()).m_nDays, MAX_DAYS);  // stops at the end
    EXPECT_FALSE(t.m_bNegative);
}

namespace {

class CScriptedClock : public ILocalClock {
public:
    T_SYSTEMTIME Now() override { return m_st; }
    T_SYSTEMTIME m_st;
};

// SetNow with the clock reading the given local time.
CDateTime ReadClock(uint16_t y, uint16_t m, uint16_t d, uint16_t hh, uint16_t mm, uint16_t ss, uint16_t ms)
{
    CScriptedClock clock;
    clock.m_st = At(y, m, d, hh, mm, ss, ms).m_st;
    CDateTime t;
    t.m_wMicrosecond = 999;  // SetNow clears both
    t.m_bNegative = true;
    SetLocalClock(&clock);
    t.SetNow();
    SetLocalClock(nullptr);
    return t;
}

// As the job runner takes it: a copy of the end, minus the start.
std::string Length(const CDateTime& start, CDateTime end)
{
    return end.SubtractMicroseconds(start.GetMicroseconds()).Format("Processing Time %02h:%02m:%02s.%03t.");
}

}  // namespace

TEST(DateTime, AJobsLengthShowsHoursToMillisecondsWithoutWholeDaysOrSign)
{
    const CDateTime start = ReadClock(2011, 3, 7, 9, 5, 2, 0);
    EXPECT_EQ(start.Format("%04Y/%02M/%02D %02h:%02m:%02s"), "2011/03/07 09:05:02");
    EXPECT_EQ(start.m_nDays, 734202u);
    EXPECT_EQ(start.m_wMicrosecond + start.m_bNegative, 0);
    const CDateTime end = ReadClock(2011, 3, 7, 10, 7, 5, 456);
    EXPECT_EQ(Length(start, end), "Processing Time 01:02:03.456.");
    EXPECT_EQ(Length(start, ReadClock(2011, 3, 8, 10, 5, 2, 0)), "Processing Time 01:00:00.000.");
    EXPECT_EQ(Length(end, start), "Processing Time 01:02:03.456.");  // the clock went back: no sign
}

// The directive language: numbers take the width part as printf does,
// names are cut and padded, odd directives stay harmless, and no width
// overflows.
TEST(DateTime, FormatTakesWidthsAsPrintfDoesAndOddDirectivesStayHarmless)
{
    CDateTime t = At(2011, 3, 7, 9, 5, 2, 4);
    t.m_st.wDayOfWeek = 1;
    t.m_wMicrosecond = 6;
    t.m_nDays = 734202;
    EXPECT_EQ(t.Format("%04Y/%02M/%02D %02h:%02m:%02s.%03t%03u %d"), "2011/03/07 09:05:02.004006 734202");
    EXPECT_EQ(t.Format("[%5h][%2Y][%3S][%6S][%010W]"), "[    9][2011][Mar][ March][0000Monday]");
    EXPECT_EQ(t.Format("100%% a%Qb a%12Qb a%0%b a%-3hb %Y%5"), "100% ab ab ab a3hb 2011");
    const std::string strHuge = t.Format("%99999999999999999999999Y");
    EXPECT_EQ(strHuge.size(), 4096u);  // padding is capped
    t.m_st.wMonth = 13;
    t.m_st.wDayOfWeek = 7;
    EXPECT_EQ(t.Format("[%S][%10S][%3W]"), "[***][***][***]");
}
