// Day numbers, microsecond counts and the calendar of CDateTime.
#include "jobs/date_time.h"

#include <algorithm>
#include <limits>

#include "jobs/local_clock.h"

namespace {

const std::array<std::string_view, 12> MONTH_NAMES = {
    "January", "February", "March", "April", "May", "June",
    "July", "August", "September", "October", "November", "December"};
const std::array<std::string_view, 7> DAY_NAMES = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// Lengths of the months of a common year.
const std::array<uint32_t, 12> MONTH_DAYS = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

constexpr int64_t MICROSECONDS_PER_MILLISECOND = 1000;
// Every 400 years the calendar repeats itself.
constexpr uint32_t DAYS_PER_400_YEARS = 146097;
constexpr uint32_t LAST_YEAR = std::numeric_limits<uint16_t>::max();

bool IsLeapYear(uint32_t nYear)
{
    return (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
}

uint32_t YearLength(uint32_t nYear)
{
    return IsLeapYear(nYear) ? 366 : 365;
}

uint32_t MonthLength(uint32_t nYear, uint32_t nMonth)
{
    return MONTH_DAYS[nMonth - 1] + (nMonth == 2 && IsLeapYear(nYear) ? 1 : 0);
}

// Days from 0001-01-01 to the first day of nYear, which may be 0.
constexpr int64_t DaysBeforeYear(int64_t nYear)
{
    const int64_t y = nYear - 1;
    return 365 * y + y / 4 - y / 100 + y / 400;
}

// The last day the 16-bit year can hold: 65535-12-31.
constexpr uint32_t LAST_DAY_NUMBER = static_cast<uint32_t>(DaysBeforeYear(LAST_YEAR + 1) - 1);

}  // namespace

CDateTime::CDateTime()
{
    std::copy(MONTH_NAMES.begin(), MONTH_NAMES.end(), m_strMonthName.begin());
    std::copy(DAY_NAMES.begin(), DAY_NAMES.end(), m_strDayName.begin());
}

void CDateTime::SetNow()
{
    m_st = CurrentLocalClock().Now();
    m_wMicrosecond = 0;
    m_bNegative = false;
    m_nDays = GetDayNumber();
}

uint32_t CDateTime::GetDayNumber() const
{
    int64_t n = DaysBeforeYear(m_st.wYear);
    const uint32_t nWholeMonths = std::min<uint32_t>(m_st.wMonth > 0 ? m_st.wMonth - 1u : 0u, 12u);
    for (uint32_t m = 1; m <= nWholeMonths; ++m) n += MONTH_DAYS[m - 1];
    if (m_st.wMonth > 2 && IsLeapYear(m_st.wYear)) ++n;
    n += static_cast<int64_t>(m_st.wDay) - 1;
    return static_cast<uint32_t>(std::clamp<int64_t>(n, 0, std::numeric_limits<uint32_t>::max()));
}

int64_t CDateTime::GetMicroseconds() const
{
    // At most about 2.1e18 even with every field at its 16-bit maximum.
    int64_t t = static_cast<int64_t>(GetDayNumber()) * 24 + m_st.wHour;
    t = (t * 60 + m_st.wMinute) * 60 + m_st.wSecond;
    t = (t * 1000 + m_st.wMilliseconds) * MICROSECONDS_PER_MILLISECOND + m_wMicrosecond;
    return m_bNegative ? -t : t;
}

void CDateTime::SetMicroseconds(int64_t nMicroseconds)
{
    m_bNegative = nMicroseconds < 0;
    // The magnitude in unsigned arithmetic: the most negative count has none
    // in signed 64 bits.
    uint64_t a = m_bNegative ? 0 - static_cast<uint64_t>(nMicroseconds) : static_cast<uint64_t>(nMicroseconds);
    m_wMicrosecond = static_cast<uint16_t>(a % 1000);
    a /= 1000;
    m_st.wMilliseconds = static_cast<uint16_t>(a % 1000);
    a /= 1000;
    m_st.wSecond = static_cast<uint16_t>(a % 60);
    a /= 60;
    m_st.wMinute = static_cast<uint16_t>(a % 60);
    a /= 60;
    m_st.wHour = static_cast<uint16_t>(a % 24);
    m_nDays = static_cast<uint32_t>(a / 24);  // at most 106,751,991
    SetDateFromDays();
}

void CDateTime::SetDateFromDays()
{
    m_st.wDayOfWeek = static_cast<uint16_t>((static_cast<uint64_t>(m_nDays) + 1) % 7);
    uint32_t n = std::min(m_nDays, LAST_DAY_NUMBER);
    uint32_t nYear = 1 + 400 * (n / DAYS_PER_400_YEARS);
    n %= DAYS_PER_400_YEARS;
    while (n >= YearLength(nYear)) {
        n -= YearLength(nYear);
        ++nYear;
    }
    uint32_t nMonth = 1;
    while (nMonth < 12 && n >= MonthLength(nYear, nMonth)) {
        n -= MonthLength(nYear, nMonth);
        ++nMonth;
    }
    m_st.wYear = static_cast<uint16_t>(std::min(nYear, LAST_YEAR));
    m_st.wMonth = static_cast<uint16_t>(nMonth);
    m_st.wDay = static_cast<uint16_t>(n + 1);
}

CDateTime CDateTime::SubtractMicroseconds(int64_t nMicroseconds)
{
    constexpr int64_t MAX = std::numeric_limits<int64_t>::max();
    constexpr int64_t MIN = std::numeric_limits<int64_t>::min();
    const int64_t t = GetMicroseconds();
    int64_t nDifference;
    if (nMicroseconds < 0 && t > MAX + nMicroseconds) nDifference = MAX;
    else if (nMicroseconds > 0 && t < MIN + nMicroseconds) nDifference = MIN;
    else nDifference = t - nMicroseconds;
    SetMicroseconds(nDifference);
    return *this;
}
