// The local wall clock on Windows: GetLocalTime, whose record has the same
// eight words as ours.
#include <windows.h>

#include "jobs/local_clock.h"

namespace {

class CWin32LocalClock : public ILocalClock {
public:
    T_SYSTEMTIME Now() override
    {
        SYSTEMTIME local;
        ::GetLocalTime(&local);
        T_SYSTEMTIME st;
        st.wYear = local.wYear;
        st.wMonth = local.wMonth;
        st.wDayOfWeek = local.wDayOfWeek;
        st.wDay = local.wDay;
        st.wHour = local.wHour;
        st.wMinute = local.wMinute;
        st.wSecond = local.wSecond;
        st.wMilliseconds = local.wMilliseconds;
        return st;
    }
};

}  // namespace

ILocalClock& SystemLocalClock()
{
    static CWin32LocalClock clock;
    return clock;
}
