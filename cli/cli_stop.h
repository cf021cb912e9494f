#pragma once
// The operator's request to stop the job. The first Ctrl-C, SIGTERM or
// SIGHUP stops the job cleanly: the engine is aborted, the image is flushed
// and closed, and the program ends with 128 + the signal's number. A second
// request ends the program at once, for a drive that hangs in a read.
#include <atomic>

#include "cli/console.h"

class CStopRequest {
public:
    // Records a request; true only for the first one.
    bool Request(EStopSignal eSignal);
    bool IsRequested() const { return m_nSignal.load() != 0; }
    // The first request's kind; meaningful only when IsRequested.
    EStopSignal Signal() const { return static_cast<EStopSignal>(m_nSignal.load() - 1); }

private:
    std::atomic<int> m_nSignal{0};  // 0 none, else 1 + the first request's kind; lock-free
};

// The exit status after a stop: 130 for SIGINT (Ctrl-C), 143 for SIGTERM,
// 129 for SIGHUP, on every platform.
int StopExitStatus(EStopSignal eSignal);

// The process's stop request, which the stop handler records.
CStopRequest& ProcessStopRequest();
// The stop handler main installs: records the first request; a second one
// says so on standard error and ends the program at once with its status.
void OnStopSignal(EStopSignal eSignal);
