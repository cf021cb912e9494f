#pragma once
// The CLI's terminal port: what the front end needs of the console, the
// standard streams and the stop requests, with a POSIX and a Win32 adapter.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

enum class EStream { Input = 0, Output = 1, Error = 2 };

// What a standard stream leads to.
enum class EStreamKind {
    Terminal,  // an interactive terminal (console)
    Pipe,      // a pipe, FIFO or socket: another program reads it, perhaps onto this screen
    File,      // a file or a device such as /dev/null: nobody watches it as it is written
    Closed,    // no stream at all
};

// The ways the operator or the system asks the program to stop.
enum class EStopSignal { Interrupt, Terminate, HangUp };

// Makes sure standard input, output and error exist, on the null device
// where one is missing, so that no file the program opens later takes a
// standard stream's place. Call it first in main. False when a missing
// stream could not be replaced.
bool EnsureStandardStreams();
EStreamKind StreamKindOf(EStream eStream);
// Whether the stream is an interactive terminal.
bool IsTerminal(EStream eStream);
// Prepares the console: UTF-8 output and colour sequences where the
// platform needs to be asked for them.
void PrepareConsole();
// Calls pfnHandler for every stop request (Ctrl-C and its kin), from a
// signal or console-control context: it may only set lock-free flags, call
// WriteOutFromSignal and end the process with std::_Exit. A stop signal
// that was ignored when the program started (nohup, a script's background
// job) stays ignored.
void InstallStopHandler(void (*pfnHandler)(EStopSignal));
// How a stop request is named in messages ("Ctrl-C (SIGINT)").
const char* StopSignalText(EStopSignal eSignal);
// Reads one line typed by the operator, without its line end. False at the
// end of input, when there is no terminal to ask, and as soon as a stop is
// requested (also when it was requested before the call).
bool ReadTerminalLine(std::string& strLine);
// Starts fn on a thread that never takes the stop signals, so that they
// always reach the main thread; threads that thread starts inherit that.
std::thread StartBackgroundThread(std::function<void()> fn);
// Writes the whole text; 0, or the system error code of the failed write.
uint32_t WriteOut(EStream eStream, std::string_view strText);
// Writes from a stop handler: no locks, no allocation, errors ignored.
void WriteOutFromSignal(EStream eStream, std::string_view strText);
// The program's arguments as UTF-8 (on Windows from the wide command line,
// since argv there is in the ANSI code page).
std::vector<std::string> GetUtf8Arguments(int argc, char** argv);
// An environment variable's value; empty when it is not set.
std::string GetEnvironmentText(const char* pName);

// The console as the front end's parts use it: the port's own functions in
// the program, a test's in tests.
struct T_CONSOLE_IO {
    std::function<uint32_t(EStream, std::string_view)> write = WriteOut;
    std::function<bool(std::string&)> readLine = ReadTerminalLine;
    bool bCanAsk = false;  // a terminal on standard input to ask questions on
};
