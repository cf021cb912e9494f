#pragma once
// What every command that runs an engine shares: its environment (streams,
// stop request, devices, memory), the job's block count, and the job
// itself: engines run on a background thread while the main thread prints
// their messages, answers their questions and turns the operator's stop
// request into one abort.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_output.h"
#include "cli/cli_prompt.h"
#include "cli/cli_stop.h"
#include "cli/console.h"
#include "jobs/system_places.h"
#include "engine/core/notify_queue.h"

class IDeviceProvider;
class CCliInventory;

// What a command works with: the program passes its own streams, stop
// request and memory figure; tests pass theirs.
struct T_CLI_ENV {
    T_OUTPUT_MODE output;
    T_CONSOLE_IO io;
    const CStopRequest* pStop = nullptr;  // null: nothing stops the job
    IDeviceProvider* pDevices = nullptr;  // null: the platform's drives and files
    uint64_t nAvailableMiB = 0;           // 0: not known
    uint32_t nDefaultBufferMiB = 16;      // without --buffer: the settings file's
    std::vector<std::string> arrSettingsWarnings;  // logged by a job that takes the setting
    CCliInventory* pInventory = nullptr;  // null: every drive is a path, none is listed
    // Where the running system lives; null: nowhere to guard.
    std::function<std::vector<T_SYSTEM_PLACE>()> fnSystemPlaces;
    // How long a stopped job may take before the operator is told that a
    // drive does not answer.
    std::chrono::milliseconds stopPatience{5000};
};

// This process's environment: its streams and variables, its stop
// request, the machine's available memory.
T_CLI_ENV ProcessCliEnv();

bool StopRequested(const T_CLI_ENV& env);
// A stop request wins over --yes: nothing is destroyed after one.
EPromptRule PromptRuleOf(bool bYes, const T_CLI_ENV& env);
// The devices the command opens drives and images with.
IDeviceProvider& DevicesOf(const T_CLI_ENV& env);

// The MiB a job asks for: --buffer, else the settings file's (and then
// the warnings about that file are logged).
uint32_t AskedBufferMiB(const T_CLI_ARGS& args, const T_CLI_ENV& env);
// The job's block count: the asked MiB, at most 75% of the available
// memory, never below 16.
uint32_t ChooseBlockCount(uint32_t nAskedMiB, uint64_t nAvailableMiB);
// The same, with a warning in the log when the buffer had to be lowered.
uint32_t JobBlockCount(uint32_t nAskedMiB, uint64_t nAvailableMiB);

// The speeds a job that reads an image shows: the image side's, or, while
// it is idle (drives reading back), the first drive's that moves.
std::vector<uint32_t> ImageJobSpeedCodes();

// Whether a zlib library can be bound for compressed images.
bool ZlibLibraryFound();

// A question an engine may ask during the job (whether to replace an
// existing image), and the rule it is answered by.
struct T_JOB_QUESTION {
    std::string strSubject;  // what it is about, shown before the question
    bool bYes = false;       // --yes was given
};

// One command's output and job thread. While it lives it is the log target:
// every log line, the engines' included, goes through its queue.
class CCliJob {
public:
    // The progress line shows the speed of the first of arrSpeedCodes
    // (PROGRESS_..._SPEED codes) whose speed is not zero.
    CCliJob(const T_CLI_ENV& env, std::vector<uint32_t> arrSpeedCodes);
    ~CCliJob();
    CCliJob(const CCliJob&) = delete;
    CCliJob& operator=(const CCliJob&) = delete;

    // The notify target the engines post to.
    CNotifyQueue& Queue() { return m_queue; }
    // Prints what was queued so far and removes the progress line: the
    // screen is ready for a question asked on the main thread.
    void PrintQueued();
    // Runs fnJob on a background thread and returns when it has ended.
    // Meanwhile this thread prints the job's messages, answers its
    // questions, and calls fnAbort when a stop is requested, then every
    // second until the job has ended. A stop is answered on standard error
    // at once, and again when the job has not ended after the patience: a
    // drive does not answer. False, with the reason logged, when the
    // thread could not be started (fnJob did not run).
    bool RunInBackground(const std::function<void()>& fnJob, const std::function<void()>& fnAbort,
                         const T_JOB_QUESTION& question);
    // Hands every message other than log lines and progress to fnResult
    // (on this thread, during RunInBackground and PrintQueued) instead of
    // the printer: the results of a task the command talks to. fnResult
    // owns what the message carries.
    void SetResultHandler(std::function<void(const T_NOTIFY_MSG&)> fnResult) { m_fnResult = std::move(fnResult); }
    // Ends the output: prints what is left, removes the progress line and
    // says on standard error when standard output could not be written;
    // rings the bell when the jobs run in the background took long enough
    // (the output mode's bellAfter). True when the whole log reached
    // standard output.
    bool Finish();

private:
    void Pump(const std::function<void()>& fnAbort, const T_JOB_QUESTION& question);
    void SayStopping(std::string_view strText);
    void Handle(const T_NOTIFY_MSG& msg);

    const T_CLI_ENV& m_env;
    CNotifyQueue m_queue;
    CCliPrinter m_printer;
    std::function<void(const T_NOTIFY_MSG&)> m_fnResult;
    bool m_bRan = false;  // a job ran in the background
    std::chrono::steady_clock::duration m_ranFor{};
};
