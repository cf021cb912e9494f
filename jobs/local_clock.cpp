// The replaceable clock behind CDateTime::SetNow.
#include "jobs/local_clock.h"

#include <atomic>

namespace {

std::atomic<ILocalClock*> g_pLocalClock{nullptr};

}  // namespace

void SetLocalClock(ILocalClock* pClock)
{
    g_pLocalClock.store(pClock);
}

ILocalClock& CurrentLocalClock()
{
    ILocalClock* pClock = g_pLocalClock.load();
    return pClock ? *pClock : SystemLocalClock();
}
