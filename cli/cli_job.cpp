#include "cli/cli_job.h"

#include <chrono>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/core/format.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"

namespace {

// How often the main thread looks for a stop request while it waits.
constexpr std::chrono::milliseconds STOP_POLL{50};
// How often an abort is repeated until the job has ended.
constexpr std::chrono::seconds ABORT_REPEAT{1};

}  // namespace

CCliJob::CCliJob(const T_CLI_ENV& env, std::vector<uint32_t> arrSpeedCodes)
    : m_env(env), m_printer(env.output, std::move(arrSpeedCodes), env.io.write)
{
    SetLogTarget(&m_queue, WM_ENGINE_LOG);
}

CCliJob::~CCliJob()
{
    SetLogTarget(nullptr, DEFAULT_LOG_MSG);
}

void CCliJob::PrintQueued()
{
    T_NOTIFY_MSG msg;
    while (m_queue.TryTake(msg)) Handle(msg);
    m_printer.ClearProgress();
}

bool CCliJob::RunInBackground(const std::function<void()>& fnJob, const std::function<void()>& fnAbort,
                              const T_JOB_QUESTION& question)
{
    std::thread job;
    try {
        job = StartBackgroundThread([&] {
            fnJob();
            m_queue.Post(WM_DUMPTASK_END, 0, 0);
        });
    } catch (const std::system_error& e) {
        LogError("CreateThread() failed.\n%s\n", GetSystemErrorText(static_cast<uint32_t>(e.code().value())));
        return false;
    }
    const auto start = std::chrono::steady_clock::now();
    Pump(fnAbort, question);
    job.join();
    m_bRan = true;
    m_ranFor += std::chrono::steady_clock::now() - start;
    return true;
}

// Drains the queue until the job thread has ended. Once a stop is
// requested the job is aborted at once and again every second: a job that
// was between two engines (or locking its volumes) when the first abort
// came meets the next one. A drive that stopped answering keeps the job
// thread waiting in its transfer; the operator hears so, and that a second
// request ends the program.
void CCliJob::Pump(const std::function<void()>& fnAbort, const T_JOB_QUESTION& question)
{
    std::chrono::steady_clock::time_point firstAbort, lastAbort;
    bool bAbortSent = false;
    bool bToldNoAnswer = false;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (StopRequested(m_env) && (!bAbortSent || now - lastAbort >= ABORT_REPEAT)) {
            if (!bAbortSent) {
                firstAbort = now;
                SayStopping(
                    FormatText("gravelmoor-cli: %s: stopping the job...\n", StopSignalText(m_env.pStop->Signal())));
            }
            bAbortSent = true;
            lastAbort = now;
            fnAbort();
        }
        if (bAbortSent && !bToldNoAnswer && now - firstAbort >= m_env.stopPatience) {
            bToldNoAnswer = true;
            SayStopping("gravelmoor-cli: a drive does not answer; the job stops when it does. A second stop request "
                        "(Ctrl-C) ends the program at once, leaving what the job was writing incomplete.\n");
        }
        T_NOTIFY_MSG msg;
        if (!m_queue.Wait(msg, STOP_POLL)) continue;
        if (msg.uMsg == WM_DUMPTASK_END) return;
        if (msg.uMsg == WM_CLI_PROMPT) {
            auto* pRequest = reinterpret_cast<T_PROMPT_REQUEST*>(msg.lParam);
            m_printer.ClearProgress();
            AnswerPrompt(*pRequest, question.strSubject, PromptRuleOf(question.bYes, m_env), m_env.io);
            delete pRequest;
        } else {
            Handle(msg);
        }
    }
}

void CCliJob::SayStopping(std::string_view strText)
{
    m_printer.ClearProgress();
    m_env.io.write(EStream::Error, strText);
}

void CCliJob::Handle(const T_NOTIFY_MSG& msg)
{
    if (m_fnResult && msg.uMsg != WM_ENGINE_LOG && msg.uMsg != WM_ENGINE_PROGRESS)
        m_fnResult(msg);
    else
        m_printer.Handle(msg);
}

bool CCliJob::Finish()
{
    PrintQueued();
    if (m_printer.OutputError() != 0)
        ReportOutputFailure(m_printer.OutputError(), "; the log went to standard error instead", m_env.io);
    const auto bellAfter = m_env.output.bellAfter;
    if (m_bRan && bellAfter.count() >= 0 && m_ranFor >= bellAfter) m_env.io.write(EStream::Error, "\a");
    return m_printer.OutputError() == 0;
}
