#pragma once
// A local time or a length of time, with microsecond resolution. It holds a
// calendar date and time of day, converts it to and from one signed count
// of microseconds since 0001-01-01 00:00 (proleptic Gregorian calendar; day
// number 0 is that Monday), and prints itself through a small directive
// language: "%04Y/%02M/%02D %02h:%02m:%02s" gives "2011/03/07 09:05:02".
//
// A duration is filled by SetMicroseconds: its whole days are in m_nDays,
// its calendar fields read as if the days were counted from 0001-01-01, so
// a duration shorter than one day is 0001-01-01 and its hours never exceed
// 23. A negative value keeps its magnitude in the fields and m_bNegative.
//
// The calendar fields hold years 1 to 65535. A count beyond 65535-12-31
// (about 2.07e18 microseconds) keeps its exact day count in m_nDays but
// shows that last day in its date; such a value does not read back.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "jobs/system_time.h"

class CDateTime {
public:
    // 0001-01-01 00:00:00.000000: a zero duration until a setter runs.
    CDateTime();
    virtual ~CDateTime() = default;
    CDateTime(const CDateTime&) = default;
    CDateTime& operator=(const CDateTime&) = default;

    // The local time from the current clock (see local_clock.h), to the
    // millisecond; the microsecond field is 0.
    void SetNow();

    // Day number of the date in m_st; m_nDays is not consulted. Months
    // above 12 count as whole years and dates before 0001-01-01 as day 0.
    uint32_t GetDayNumber() const;
    // Microseconds of the date and time in m_st, negated when m_bNegative.
    int64_t GetMicroseconds() const;
    // Splits a count into every field; the date comes from the whole days.
    void SetMicroseconds(int64_t nMicroseconds);
    // Year, month, day and day of week of m_st from m_nDays.
    void SetDateFromDays();
    // Sets this object to its own count minus nMicroseconds and returns a
    // copy. A difference beyond the signed 64-bit range stops at its end.
    CDateTime SubtractMicroseconds(int64_t nMicroseconds);

    // Renders the directives: %Y %M %D %d %h %m %s %t %u print numbers,
    // %S and %W the month and day names, %% a percent sign. A width part
    // ("%04Y", "%3S") may stand between "%" and the letter.
    std::string Format(std::string_view strFormat) const;

    T_SYSTEMTIME m_st;
    uint16_t m_wMicrosecond = 0;  // 0 .. 999 within the millisecond
    uint32_t m_nDays = 0;         // day number of a time, whole days of a duration
    bool m_bNegative = false;     // only a duration can be negative
    std::array<std::string, 12> m_strMonthName;
    std::array<std::string, 7> m_strDayName;
};
