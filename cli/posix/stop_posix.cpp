// POSIX adapter of the stop requests and of the questions asked on the
// terminal. SIGINT, SIGTERM and SIGHUP are stop requests. Their handler may
// run on any thread that does not block them; it sets the front end's flags
// and then writes a byte to a wake-up pipe. A question polls the terminal
// and that pipe together, so it ends on the first stop request whichever
// thread took the signal, and a request that came just before the question
// is not lost. Threads started with StartBackgroundThread block the
// signals, so the engine's system calls never see EINTR from them.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "cli/console.h"

namespace {

constexpr int STOP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

void (*g_pfnStop)(EStopSignal) = nullptr;
int g_fdWakeRead = -1;
int g_fdWakeWrite = -1;

EStopSignal StopSignalOf(int nSignal)
{
    if (nSignal == SIGTERM) return EStopSignal::Terminate;
    if (nSignal == SIGHUP) return EStopSignal::HangUp;
    return EStopSignal::Interrupt;
}

void OnSignal(int nSignal)
{
    const int nSavedErrno = errno;
    if (g_pfnStop) g_pfnStop(StopSignalOf(nSignal));
    const char c = 0;
    if (g_fdWakeWrite >= 0 && ::write(g_fdWakeWrite, &c, 1) < 0) {
        // A full pipe already holds a wake-up: nothing is lost.
    }
    errno = nSavedErrno;
}

sigset_t StopSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (int nSignal : STOP_SIGNALS) sigaddset(&set, nSignal);
    return set;
}

// Blocks the stop signals in the calling thread for the guard's lifetime.
class CStopSignalsBlocked {
public:
    CStopSignalsBlocked()
    {
        const sigset_t set = StopSignalSet();
        ::pthread_sigmask(SIG_BLOCK, &set, &m_old);
    }
    ~CStopSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &m_old, nullptr); }
    CStopSignalsBlocked(const CStopSignalsBlocked&) = delete;
    CStopSignalsBlocked& operator=(const CStopSignalsBlocked&) = delete;

private:
    sigset_t m_old;
};

bool StopWasRequested()
{
    if (g_fdWakeRead < 0) return false;
    pollfd wake{g_fdWakeRead, POLLIN, 0};
    return ::poll(&wake, 1, 0) > 0;
}

}  // namespace

void InstallStopHandler(void (*pfnHandler)(EStopSignal))
{
    g_pfnStop = pfnHandler;
    int fds[2];
    if (g_fdWakeRead < 0 && ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        g_fdWakeRead = fds[0];
        g_fdWakeWrite = fds[1];
    }
    for (int nSignal : STOP_SIGNALS) {
        struct sigaction old {};
        if (::sigaction(nSignal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        action.sa_mask = StopSignalSet();  // one handler at a time
        action.sa_flags = 0;               // no SA_RESTART: a waiting call of the main thread ends
        ::sigaction(nSignal, &action, nullptr);
    }
}

const char* StopSignalText(EStopSignal eSignal)
{
    switch (eSignal) {
    case EStopSignal::Interrupt: return "SIGINT (Ctrl-C)";
    case EStopSignal::Terminate: return "SIGTERM";
    case EStopSignal::HangUp: return "SIGHUP";
    }
    return "a stop request";
}

bool ReadTerminalLine(std::string& strLine)
{
    strLine.clear();
    if (!IsTerminal(EStream::Input)) return false;
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {g_fdWakeRead, POLLIN, 0}};
        const int nReady = ::poll(fds, g_fdWakeRead >= 0 ? 2 : 1, -1);
        if (nReady < 0 && errno != EINTR) return false;
        if (StopWasRequested()) return false;
        if (nReady <= 0) continue;
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        if (c == '\n') return true;
        if (c != '\r') strLine += c;
    }
}

std::thread StartBackgroundThread(std::function<void()> fn)
{
    CStopSignalsBlocked blocked;
    return std::thread(std::move(fn));
}
