#pragma once
// Where "now" comes from: the platform's local wall clock, read to the
// millisecond, or a clock that a test puts in its place. Local time moves
// with the operator's clock: daylight saving and manual changes show.
#include "jobs/system_time.h"

class ILocalClock {
public:
    virtual ~ILocalClock() = default;
    virtual T_SYSTEMTIME Now() = 0;
};

// The platform's local wall clock.
ILocalClock& SystemLocalClock();

// The clock that CDateTime::SetNow reads. A test sets its own before the
// code under test runs and restores the system clock with null afterwards;
// the clock itself must outlive its use.
void SetLocalClock(ILocalClock* pClock);
ILocalClock& CurrentLocalClock();
