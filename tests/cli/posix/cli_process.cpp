#include "tests/cli/posix/cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

extern char** environ;

namespace {

std::vector<char*> ArgvOf(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (std::string& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

bool Contains(const std::vector<int>& values, int n)
{
    for (int v : values) {
        if (v == n) return true;
    }
    return false;
}

// Reads what fd holds into strTo; closes it (and sets it to -1) at its end.
void ReadSome(int& fd, std::string& strTo)
{
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
        strTo.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {  // end, or EIO once a terminal's last user is gone
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

const char* CliPath()
{
    return GM_CLI_PATH;
}

CCliProcess::CCliProcess(const T_CLI_START& start)
{
    if (start.bTerminal)
        StartOnTerminal(start);
    else
        StartWithStreams(start);
}

CCliProcess::~CCliProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_fdOut >= 0) ::close(m_fdOut);
    if (m_fdErr >= 0) ::close(m_fdErr);
}

void CCliProcess::StartWithStreams(const T_CLI_START& start)
{
    int pipeOut[2] = {-1, -1}, pipeErr[2] = {-1, -1};
    const bool bOutPipe = start.strOutputPath.empty() && !Contains(start.closedStreams, 1);
    if ((bOutPipe && ::pipe2(pipeOut, O_CLOEXEC) != 0) || ::pipe2(pipeErr, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (Contains(start.closedStreams, 0))
        posix_spawn_file_actions_addclose(&actions, 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (Contains(start.closedStreams, 1))
        posix_spawn_file_actions_addclose(&actions, 1);
    else if (!bOutPipe)
        posix_spawn_file_actions_addopen(&actions, 1, start.strOutputPath.c_str(), O_WRONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, pipeOut[1], 1);
    if (Contains(start.closedStreams, 2))
        posix_spawn_file_actions_addclose(&actions, 2);
    else
        posix_spawn_file_actions_adddup2(&actions, pipeErr[1], 2);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigemptyset(&none);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    if (!start.bHangUpIgnored) sigaddset(&defaults, SIGHUP);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    if (start.bHangUpIgnored) ::sigaction(SIGHUP, &ignore, &old);  // inherited by the child
    std::vector<std::string> args = start.args;
    args.insert(args.begin(), CliPath());
    std::vector<char*> argv = ArgvOf(args);
    const int nError = ::posix_spawn(&m_pid, CliPath(), &actions, &attr, argv.data(), environ);
    if (start.bHangUpIgnored) ::sigaction(SIGHUP, &old, nullptr);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (bOutPipe) ::close(pipeOut[1]);
    ::close(pipeErr[1]);
    m_fdOut = pipeOut[0];
    m_fdErr = pipeErr[0];
    if (nError != 0) throw std::runtime_error("posix_spawn failed");
}

void CCliProcess::StartOnTerminal(const T_CLI_START& start)
{
    std::vector<std::string> args = start.args;
    args.insert(args.begin(), CliPath());
    std::vector<char*> argv = ArgvOf(args);
    std::vector<std::string> env;
    for (char** p = environ; *p; ++p) {
        const std::string strVar = *p;
        if (!strVar.starts_with("TERM=") && !strVar.starts_with("NO_COLOR=")) env.push_back(strVar);
    }
    env.push_back("TERM=dumb");
    std::vector<char*> envp = ArgvOf(env);

    int fdMaster = -1;
    m_pid = ::forkpty(&fdMaster, nullptr, nullptr, nullptr);
    if (m_pid < 0) throw std::runtime_error("forkpty failed");
    if (m_pid == 0) {
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (int nSignal : {SIGINT, SIGTERM, SIGHUP}) ::signal(nSignal, SIG_DFL);
        ::execve(CliPath(), argv.data(), envp.data());
        ::_exit(127);
    }
    m_fdOut = fdMaster;
}

void CCliProcess::Pump(int nTimeoutMs)
{
    pollfd fds[2] = {{m_fdOut, POLLIN, 0}, {m_fdErr, POLLIN, 0}};
    if (::poll(fds, 2, nTimeoutMs) <= 0) return;
    if (fds[0].revents) ReadSome(m_fdOut, m_strOut);
    if (fds[1].revents) ReadSome(m_fdErr, m_strErr);
}

bool CCliProcess::WaitForOutput(const std::string& strText, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_strOut.find(strText) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || (m_fdOut < 0 && m_fdErr < 0)) return false;
        Pump(20);
    }
    return true;
}

void CCliProcess::Signal(int nSignal)
{
    ::kill(m_pid, nSignal);
}

void CCliProcess::Type(const std::string& strKeys)
{
    if (::write(m_fdOut, strKeys.data(), strKeys.size()) != static_cast<ssize_t>(strKeys.size()))
        throw std::runtime_error("typing on the terminal failed");
}

int CCliProcess::Wait(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int nStatus = 0;
    while (::waitpid(m_pid, &nStatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) return -1;  // the destructor kills it
        Pump(10);
    }
    m_pid = -1;
    const auto drained = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((m_fdOut >= 0 || m_fdErr >= 0) && std::chrono::steady_clock::now() < drained) Pump(100);
    if (WIFSIGNALED(nStatus)) return 1000 + WTERMSIG(nStatus);
    return WEXITSTATUS(nStatus);
}
