// The local wall clock on POSIX: the system clock broken down by
// localtime_r in the process's time zone.
#include <chrono>
#include <ctime>

#include "jobs/local_clock.h"

namespace {

T_SYSTEMTIME FromTm(const std::tm& tm, int nMilliseconds)
{
    T_SYSTEMTIME st;
    st.wYear = static_cast<uint16_t>(tm.tm_year + 1900);
    st.wMonth = static_cast<uint16_t>(tm.tm_mon + 1);
    st.wDayOfWeek = static_cast<uint16_t>(tm.tm_wday);
    st.wDay = static_cast<uint16_t>(tm.tm_mday);
    st.wHour = static_cast<uint16_t>(tm.tm_hour);
    st.wMinute = static_cast<uint16_t>(tm.tm_min);
    // A leap second (60) is shown as the last second of its minute.
    st.wSecond = static_cast<uint16_t>(tm.tm_sec > 59 ? 59 : tm.tm_sec);
    st.wMilliseconds = static_cast<uint16_t>(nMilliseconds);
    return st;
}

class CPosixLocalClock : public ILocalClock {
public:
    T_SYSTEMTIME Now() override
    {
        using namespace std::chrono;
        const auto nMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
        // Floor division, so that a time before 1970 still has 0..999 ms.
        long long nSeconds = nMs / 1000;
        long long nMilliseconds = nMs % 1000;
        if (nMilliseconds < 0) {
            nMilliseconds += 1000;
            --nSeconds;
        }
        const std::time_t t = static_cast<std::time_t>(nSeconds);
        std::tm tm{};
        if (!::localtime_r(&t, &tm) && !::gmtime_r(&t, &tm)) return T_SYSTEMTIME{};
        return FromTm(tm, static_cast<int>(nMilliseconds));
    }
};

}  // namespace

ILocalClock& SystemLocalClock()
{
    static CPosixLocalClock clock;
    return clock;
}
