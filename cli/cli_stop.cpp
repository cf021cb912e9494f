#include "cli/cli_stop.h"

#include <cstdlib>

static_assert(std::atomic<int>::is_always_lock_free, "the stop request is set from a signal handler");

bool CStopRequest::Request(EStopSignal eSignal)
{
    int nNone = 0;
    return m_nSignal.compare_exchange_strong(nNone, static_cast<int>(eSignal) + 1);
}

int StopExitStatus(EStopSignal eSignal)
{
    switch (eSignal) {
    case EStopSignal::Interrupt: return 128 + 2;
    case EStopSignal::Terminate: return 128 + 15;
    case EStopSignal::HangUp: return 128 + 1;
    }
    return 1;
}

namespace {
constinit CStopRequest g_processStop;  // constant-initialised: ready before any signal
}

CStopRequest& ProcessStopRequest()
{
    return g_processStop;
}

void OnStopSignal(EStopSignal eSignal)
{
    if (ProcessStopRequest().Request(eSignal)) return;
    WriteOutFromSignal(EStream::Error, "\ngravelmoor-cli: stopped at once; what the job was writing may be incomplete.\n");
    std::_Exit(StopExitStatus(eSignal));
}
