// Day numbers and the microsecond count of CDateTime, checked against an
// independent civil-calendar algorithm (days_from_civil / civil_from_days
// after Howard Hinnant), and the length of a job taken from two clock
// readings.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>

#include "jobs/date_time.h"
#include "jobs/local_clock.h"

namespace {

constexpr int64_t DAY_US = 86'400'000'000;
// Days from 0000-03-01 to 1970-01-01 in Hinnant's era arithmetic, and the
// day number of 1970-01-01 counted from 0001-01-01.
constexpr int64_t UNIX_EPOCH_DAY_NUMBER = 719162;
// The last day a 16-bit year holds, 65535-12-31.
constexpr int64_t LAST_DAY_NUMBER = 23936165;

struct T_CIVIL {
    int64_t nYear;
    unsigned nMonth;
    unsigned nDay;
};

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

T_CIVIL CivilFromDays(int64_t z)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

CDateTime DateTime(uint16_t y, uint16_t m, uint16_t d, uint16_t hh = 0, uint16_t mm = 0, uint16_t ss = 0,
                   uint16_t ms = 0)
{
    CDateTime t;
    t.m_st.wYear = y;
    t.m_st.wMonth = m;
    t.m_st.wDay = d;
    t.m_st.wHour = hh;
    t.m_st.wMinute = mm;
    t.m_st.wSecond = ss;
    t.m_st.wMilliseconds = ms;
    return t;
}

// Every field that SetMicroseconds fills, against the reference calendar.
void ExpectSplitMatchesReference(int64_t v)
{
    CDateTime t;
    t.SetMicroseconds(v);
    const uint64_t a = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    const int64_t nDays = static_cast<int64_t>(a / DAY_US);
    const uint64_t nInDay = a % DAY_US;
    const T_CIVIL civil = CivilFromDays(nDays - UNIX_EPOCH_DAY_NUMBER);
    const unsigned nWeekday = static_cast<unsigned>((nDays - UNIX_EPOCH_DAY_NUMBER + 4) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
    SCOPED_TRACE(v);
    EXPECT_EQ(t.m_bNegative, v < 0);
    EXPECT_EQ(t.m_nDays, nDays);
    EXPECT_EQ(t.m_st.wYear, civil.nYear);
    EXPECT_EQ(t.m_st.wMonth, civil.nMonth);
    EXPECT_EQ(t.m_st.wDay, civil.nDay);
    EXPECT_EQ(t.m_st.wDayOfWeek, nWeekday);
    EXPECT_EQ(t.m_st.wHour, nInDay / 3'600'000'000);
    EXPECT_EQ(t.m_st.wMinute, nInDay / 60'000'000 % 60);
    EXPECT_EQ(t.m_st.wSecond, nInDay / 1'000'000 % 60);
    EXPECT_EQ(t.m_st.wMilliseconds, nInDay / 1000 % 1000);
    EXPECT_EQ(t.m_wMicrosecond, nInDay % 1000);
    EXPECT_EQ(t.GetDayNumber(), t.m_nDays);
    EXPECT_EQ(t.GetMicroseconds(), v);
}

class CScriptedClock : public ILocalClock {
public:
    T_SYSTEMTIME Now() override { return m_st; }
    T_SYSTEMTIME m_st;
};

// Puts a scripted clock in place for one test.
class DateTimeWithClock : public ::testing::Test {
protected:
    void SetUp() override { SetLocalClock(&m_clock); }
    void TearDown() override { SetLocalClock(nullptr); }

    // The clock reads the given local time; the day of week is whatever the
    // platform would say for that date.
    CDateTime ReadClockAt(uint16_t y, uint16_t m, uint16_t d, uint16_t hh, uint16_t mm, uint16_t ss, uint16_t ms)
    {
        m_clock.m_st = DateTime(y, m, d, hh, mm, ss, ms).m_st;
        m_clock.m_st.wDayOfWeek = static_cast<uint16_t>((DaysFromCivil(y, m, d) + 4) % 7);
        CDateTime t;
        t.m_wMicrosecond = 999;  // SetNow clears what was there
        t.m_bNegative = true;
        t.SetNow();
        return t;
    }

    // Length of a job as the runner takes it: a copy of the end object,
    // minus the start.
    static std::string ProcessingTime(const CDateTime& start, const CDateTime& end)
    {
        CDateTime copy = end;
        return copy.SubtractMicroseconds(start.GetMicroseconds()).Format("Processing Time %02h:%02m:%02s.%03t.");
    }

    CScriptedClock m_clock;
};

}  // namespace

TEST(DateTime, DayNumbersOfKnownDatesAndTheirLeapYearRules)
{
    struct {
        uint16_t y, m, d;
        uint32_t nExpected;
    } const cases[] = {
        {1, 1, 1, 0},              // the first day, a Monday
        {2000, 1, 1, 730119},      // a Saturday
        {1900, 3, 1, 693654},      // 1900 is not a leap year
        {2000, 3, 1, 730179},      // 2000 is one
        {2024, 2, 29, 738944},
        {65535, 12, 31, 23936165},  // the last day the year field holds
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DateTime(c.y, c.m, c.d).GetDayNumber(), c.nExpected) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(c.nExpected, DaysFromCivil(c.y, c.m, c.d) + UNIX_EPOCH_DAY_NUMBER);
    }
    CDateTime t;
    t.SetMicroseconds(730119 * DAY_US);
    EXPECT_EQ(t.Format("%04Y-%02M-%02D %02h:%02m:%02s.%03t %W"), "2000-01-01 00:00:00.000 Saturday");
    EXPECT_EQ(CDateTime().GetMicroseconds(), 0);  // a fresh object is a zero duration
}

TEST(DateTime, SplittingAnyCountAgreesWithAnIndependentCalendarAndReadsBack)
{
    const int64_t nLimit = (LAST_DAY_NUMBER + 1) * DAY_US - 1;
    for (int64_t v : {int64_t{0}, int64_t{1}, int64_t{-1}, DAY_US - 1, DAY_US, -DAY_US, 59 * DAY_US,
                      60 * DAY_US, nLimit, -nLimit})
        ExpectSplitMatchesReference(v);
    const uint64_t nSeed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "seed " << nSeed);
    std::mt19937_64 random(nSeed);
    std::uniform_int_distribution<int64_t> anyCount(-nLimit, nLimit);
    // Mostly near our own era, where the timestamps are.
    std::uniform_int_distribution<int64_t> modernCount(700000 * DAY_US, 800000 * DAY_US);
    for (int i = 0; i < 20000; ++i) ExpectSplitMatchesReference(i % 2 ? anyCount(random) : modernCount(random));
}

TEST(DateTime, CountsBeyondTheLastYearKeepTheirDaysAndNeverWrapTheYear)
{
    CDateTime t;
    t.SetMicroseconds(std::numeric_limits<int64_t>::min());  // no positive counterpart in 64 bits
    EXPECT_TRUE(t.m_bNegative);
    EXPECT_EQ(t.m_nDays, 106751991u);
    EXPECT_EQ(t.Format("%Y-%M-%D %h:%m:%s.%t%u"), "65535-12-31 4:0:54.775808");
    t.SetMicroseconds(std::numeric_limits<int64_t>::max());
    EXPECT_EQ(t.m_st.wYear, 65535);
    EXPECT_EQ(t.m_st.wDayOfWeek, (106751991 + 1) % 7);

    // The difference of two extreme counts stops at the end of the range.
    CDateTime low;
    low.SetMicroseconds(-LAST_DAY_NUMBER * DAY_US);
    EXPECT_EQ(low.SubtractMicroseconds(std::numeric_limits<int64_t>::max()).m_nDays, 106751991u);
    EXPECT_TRUE(low.m_bNegative);
    CDateTime high;
    high.SetMicroseconds(LAST_DAY_NUMBER * DAY_US);
    EXPECT_FALSE(high.SubtractMicroseconds(std::numeric_limits<int64_t>::min()).m_bNegative);
    EXPECT_EQ(high.m_nDays, 106751991u);
}

TEST(DateTime, FieldsOutsideTheirRangesNeitherReadOutsideTheCalendarNorGoBelowDayZero)
{
    EXPECT_EQ(DateTime(2001, 13, 1).GetDayNumber(), DateTime(2002, 1, 1).GetDayNumber());
    EXPECT_EQ(DateTime(2001, 65535, 1).GetDayNumber(), DateTime(2002, 1, 1).GetDayNumber());
    EXPECT_EQ(DateTime(2001, 0, 1).GetDayNumber(), DateTime(2001, 1, 1).GetDayNumber());
    EXPECT_EQ(DateTime(2001, 1, 40).GetDayNumber(), DateTime(2001, 2, 9).GetDayNumber());
    EXPECT_EQ(DateTime(0, 1, 1).GetDayNumber(), 0u);
    EXPECT_EQ(DateTime(1, 1, 0).GetDayNumber(), 0u);
    const CDateTime extreme = DateTime(65535, 65535, 65535, 65535, 65535, 65535, 65535);
    EXPECT_GT(extreme.GetMicroseconds(), 0);  // no overflow
}

TEST_F(DateTimeWithClock, SetNowTakesTheClockToTheMillisecondAsADayNumberAndTime)
{
    const CDateTime t = ReadClockAt(2011, 3, 7, 9, 5, 2, 345);
    EXPECT_EQ(t.Format("%04Y/%02M/%02D %02h:%02m:%02s"), "2011/03/07 09:05:02");
    EXPECT_EQ(t.m_nDays, DaysFromCivil(2011, 3, 7) + UNIX_EPOCH_DAY_NUMBER);
    EXPECT_EQ(t.m_wMicrosecond, 0);
    EXPECT_FALSE(t.m_bNegative);
    EXPECT_EQ(t.GetMicroseconds(), static_cast<int64_t>(t.m_nDays) * DAY_US + (9 * 3600 + 5 * 60 + 2) * 1'000'000LL + 345'000);
}

TEST_F(DateTimeWithClock, TheLengthOfAJobShowsHoursToMillisecondsWithoutWholeDaysOrSign)
{
    const CDateTime start = ReadClockAt(2011, 3, 7, 9, 5, 2, 0);
    EXPECT_EQ(ProcessingTime(start, ReadClockAt(2011, 3, 7, 10, 7, 5, 456)), "Processing Time 01:02:03.456.");
    EXPECT_EQ(ProcessingTime(start, ReadClockAt(2011, 3, 8, 10, 5, 2, 0)), "Processing Time 01:00:00.000.");
    // Across the end of a leap year's February and of a year.
    EXPECT_EQ(ProcessingTime(ReadClockAt(2012, 2, 28, 23, 0, 0, 0), ReadClockAt(2012, 3, 1, 0, 30, 0, 0)),
              "Processing Time 01:30:00.000.");
    EXPECT_EQ(ProcessingTime(ReadClockAt(2011, 12, 31, 23, 59, 59, 500), ReadClockAt(2012, 1, 1, 0, 0, 0, 250)),
              "Processing Time 00:00:00.750.");

    // The clock was set back during the job: the magnitude, with the sign
    // only in the flag.
    const CDateTime late = ReadClockAt(2011, 3, 7, 10, 7, 5, 456);
    CDateTime copy = ReadClockAt(2011, 3, 7, 9, 5, 2, 0);
    const CDateTime duration = copy.SubtractMicroseconds(late.GetMicroseconds());
    EXPECT_TRUE(duration.m_bNegative);
    EXPECT_EQ(duration.Format("Processing Time %02h:%02m:%02s.%03t."), "Processing Time 01:02:03.456.");
    EXPECT_EQ(duration.GetMicroseconds(), -3'723'456'000LL);
    EXPECT_EQ(copy.GetMicroseconds(), duration.GetMicroseconds());  // the object itself changed too

    const CDateTime dayLong = [&] {
        CDateTime end = ReadClockAt(2011, 3, 9, 9, 5, 2, 0);
        return end.SubtractMicroseconds(start.GetMicroseconds());
    }();
    EXPECT_EQ(dayLong.Format("%dd %02h:%02m %04Y-%02M-%02D %W"), "2d 00:00 0001-01-03 Wednesday");
}

TEST(DateTime, TheSystemClockGivesAConsistentLocalDateNearTheUniversalOne)
{
    CDateTime t;
    t.SetNow();
    const int64_t nUtcDay = std::chrono::duration_cast<std::chrono::hours>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count() / 24 + UNIX_EPOCH_DAY_NUMBER;
    EXPECT_LE(std::abs(static_cast<int64_t>(t.m_nDays) - nUtcDay), 1);  // time zones are within a day
    EXPECT_EQ(t.m_st.wDayOfWeek, (t.m_nDays + 1) % 7);
    EXPECT_TRUE(t.m_st.wMonth >= 1 && t.m_st.wMonth <= 12 && t.m_st.wDay >= 1 && t.m_st.wDay <= 31);
    EXPECT_TRUE(t.m_st.wHour < 24 && t.m_st.wMinute < 60 && t.m_st.wSecond < 60 && t.m_st.wMilliseconds < 1000);
}
