#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "cli/console.h"

namespace {
void (*g_pfnInterrupt)() = nullptr;

void OnSignal(int)
{
    if (g_pfnInterrupt) g_pfnInterrupt();
}
}  // namespace

bool IsTerminal(EStream eStream)
{
    return ::isatty(static_cast<int>(eStream)) == 1;
}

// A reader of our output that goes away (a closed pipe) must not end the
// job halfway: writes then fail quietly and the job runs to its end.
void PrepareConsole()
{
    ::signal(SIGPIPE, SIG_IGN);
}

bool ReadTerminalLine(std::string& strLine)
{
    strLine.clear();
    if (!IsTerminal(EStream::Input)) return false;
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) return false;  // Ctrl-C while asking
        if (n <= 0) return false;
        if (c == '\n') return true;
        if (c != '\r') strLine += c;
    }
}

void InstallInterruptHandler(void (*pfnHandler)())
{
    g_pfnInterrupt = pfnHandler;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a question being asked is cut short
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void WriteOut(EStream eStream, std::string_view strText)
{
    FILE* pFile = eStream == EStream::Error ? stderr : stdout;
    std::fwrite(strText.data(), 1, strText.size(), pFile);
    std::fflush(pFile);
}

std::vector<std::string> GetUtf8Arguments(int argc, char** argv)
{
    return std::vector<std::string>(argv, argv + argc);
}
