// Day numbers and microsecond counts of CDateTime against an independent
// civil calendar (Howard Hinnant's days_from_civil / civil_from_days), the
// length of a job taken from two readings of the clock, and the format
// directives.
#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <random>

#include "jobs/date_time.h"
#include "jobs/local_clock.h"

namespace {

constexpr int64_t DAY_US = 86'400'000'000;
constexpr int64_t EPOCH_DAY = 719162;      // day number of 1970-01-01
constexpr int64_t LAST_DAY = 23936165;     // 65535-12-31, the last day the year field holds
constexpr int64_t MAX_DAYS = 106751991;    // whole days in the largest 64-bit count

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)  // days since 1970-01-01
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

T_SYSTEMTIME CivilFromDays(int64_t z)  // the date and weekday of a day since 1970-01-01
{
    T_SYSTEMTIME st;
    st.wDayOfWeek = static_cast<uint16_t>((z % 7 + 11) % 7);
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    st.wDay = static_cast<uint16_t>(doy - (153 * mp + 2) / 5 + 1);
    st.wMonth = static_cast<uint16_t>(mp < 10 ? mp + 3 : mp - 9);
    st.wYear = static_cast<uint16_t>(yoe + era * 400 + (st.wMonth <= 2));
    return st;
}

void ExpectSplitMatchesReference(int64_t v)
{
    CDateTime t;
    t.SetMicroseconds(v);
    const uint64_t a = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    const T_SYSTEMTIME ref = CivilFromDays(static_cast<int64_t>(a / DAY_US) - EPOCH_DAY);
    const uint64_t us = a % DAY_US;
    SCOPED_TRACE(v);
    EXPECT_EQ(t.m_nDays, a / DAY_US);
    EXPECT_TRUE(t.m_st.wYear == ref.wYear && t.m_st.wMonth == ref.wMonth && t.m_st.wDay == ref.wDay &&
                t.m_st.wDayOfWeek == ref.wDayOfWeek);
    EXPECT_TRUE(t.m_st.wHour == us / 3'600'000'000 && t.m_st.wMinute == us / 60'000'000 % 60 &&
                t.m_st.wSecond == us / 1'000'000 % 60 && t.m_st.wMilliseconds == us / 1000 % 1000 &&
                t.m_wMicrosecond == us % 1000 && t.m_bNegative == (v < 0));
    EXPECT_EQ(t.GetMicroseconds(), v);
}

CDateTime At(uint16_t y, uint16_t m, uint16_t d, uint16_t hh = 0, uint16_t mm = 0, uint16_t ss = 0, uint16_t ms = 0)
{
    CDateTime t;
    t.m_st = T_SYSTEMTIME{y, m, 0, d, hh, mm, ss, ms};
    return t;
}

}  // namespace

TEST(DateTime, DayNumbersAndSplitCountsAgreeWithAnIndependentCalendarAndReadBack)
{
    EXPECT_EQ(At(1, 1, 1).GetDayNumber() + At(2000, 1, 1).GetDayNumber(), 730119u);
    CDateTime t;
    t.SetMicroseconds(730119 * DAY_US);
    EXPECT_EQ(t.Format("%04Y-%02M-%02D %02h:%02m:%02s.%03t %W"), "2000-01-01 00:00:00.000 Saturday");

    const int64_t nLimit = (LAST_DAY + 1) * DAY_US - 1;
    for (int64_t v : {int64_t{0}, int64_t{-1}, DAY_US - 1, 59 * DAY_US, 60 * DAY_US, nLimit, -nLimit})
        ExpectSplitMatchesReference(v);
    const uint64_t nSeed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "seed " << nSeed);
    std::mt19937_64 random(nSeed);
    std::uniform_int_distribution<int64_t> anyCount(-nLimit, nLimit), ourEra(700000 * DAY_US, 800000 * DAY_US);
    for (int i = 0; i < 20000; ++i) ExpectSplitMatchesReference(i % 2 ? anyCount(random) : ourEra(random));
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
    EXPECT_EQ(start.m_nDays, DaysFromCivil(2011, 3, 7) + EPOCH_DAY);
    EXPECT_EQ(start.m_wMicrosecond + start.m_bNegative, 0);
    const CDateTime end = ReadClock(2011, 3, 7, 10, 7, 5, 456);
    EXPECT_EQ(Length(start, end), "Processing Time 01:02:03.456.");
    EXPECT_EQ(Length(start, ReadClock(2011, 3, 8, 10, 5, 2, 0)), "Processing Time 01:00:00.000.");
    EXPECT_EQ(Length(end, start), "Processing Time 01:02:03.456.");  // the clock went back: no sign
    CDateTime back = start;
    EXPECT_EQ(back.SubtractMicroseconds(end.GetMicroseconds()).GetMicroseconds(), -3'723'456'000);
    CDateTime twoDays = ReadClock(2011, 3, 9, 9, 5, 2, 0);
    EXPECT_EQ(twoDays.SubtractMicroseconds(start.GetMicroseconds()).Format("%d %04Y-%02M-%02D %W"),
              "2 0001-01-03 Wednesday");
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
