#pragma once
// The built gravelmoor-cli run as a child process, the way an operator or
// a script starts it: with chosen standard streams, or on a pseudo-terminal
// of its own (a session whose foreground it is, so typed Ctrl-C reaches it).
// The stop signals start at their defaults unless a test asks otherwise.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct T_CLI_START {
    std::vector<std::string> args;   // after the program's name
    std::vector<int> closedStreams;  // of 0, 1, 2: closed in the child
    std::string strOutputPath;       // standard output opened on this path; empty: a pipe to the test
    bool bTerminal = false;          // all three streams on a pseudo-terminal (TERM=dumb)
    bool bHangUpIgnored = false;     // started with SIGHUP ignored, as nohup does
};

class CCliProcess {
public:
    explicit CCliProcess(const T_CLI_START& start);
    // Kills and reaps a child that is still running.
    ~CCliProcess();
    CCliProcess(const CCliProcess&) = delete;
    CCliProcess& operator=(const CCliProcess&) = delete;

    // Reads until standard output (the terminal's output) holds strText;
    // false when the time-out passed first.
    bool WaitForOutput(const std::string& strText, std::chrono::milliseconds timeout);
    void Signal(int nSignal);
    // Writes to the terminal as if typed.
    void Type(const std::string& strKeys);
    // The exit status once the program ended; 1000 + the signal when a
    // signal killed it; -1 when the time-out passed (it is then killed).
    int Wait(std::chrono::milliseconds timeout);

    const std::string& Out() const { return m_strOut; }
    const std::string& Err() const { return m_strErr; }

private:
    void StartWithStreams(const T_CLI_START& start);
    void StartOnTerminal(const T_CLI_START& start);
    // Reads what the streams hold, waiting up to nTimeoutMs for something.
    void Pump(int nTimeoutMs);

    pid_t m_pid = -1;
    int m_fdOut = -1;  // standard output, or the terminal's master side
    int m_fdErr = -1;
    std::string m_strOut;
    std::string m_strErr;
};

// The built program's path.
const char* CliPath();
