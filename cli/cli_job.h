#pragma once
// One command's output and job thread: engines and the job runner run on a
// background thread while the main thread prints their messages, answers
// their questions and turns the operator's stop request into aborts.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/cli_env.h"
#include "cli/cli_output.h"
#include "cli/cli_prompt.h"
#include "engine/core/notify_queue.h"

// While it lives it is the log target: every log line, the engines'
// included, goes through its queue.
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
