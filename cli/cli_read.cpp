// The read command: the job's pre-flight, the read on the job runner, and
// the closing line of a read that a stop cut short.
#include "cli/cli_commands.h"

#include "cli/cli_buffer.h"
#include "cli/cli_runner.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "jobs/job_preflight.h"

namespace {

// What a finished run leaves for the closing lines.
struct T_READ_RUN {
    bool bResult = false;
    bool bImageExisted = false;  // a file was at the image's path before the run
    uint64_t nTotal = 0;         // the drive's size; 0 when it was never measured
    uint64_t nImageBytes = 0;    // how many of the drive's bytes the image holds
    bool bImageUnfinished = false;  // it holds compressed data that do not end: no usable image
};

T_READ_RUN RunJob(const T_CLI_ARGS& args, const T_CLI_ENV& env, CCliJob& job)
{
    T_READ_RUN run;
    std::vector<T_CLI_SLOT> arrSlots;
    if (!ResolveSlots(args.arrDrives, env, arrSlots)) return run;
    T_DUMPTASK_PARAM param = MakeTaskParam(args, DUMPTASK_READ, arrSlots, env);
    const T_PREFLIGHT_RESULT preflight = PreflightJob(param);
    if (!LogRefusals(preflight)) return run;
    param.nBufferMiB = static_cast<int>(JobBlockCount(AskedBufferMiB(args, env), env.nAvailableMiB));
    run.bImageExisted = preflight.bImageExists;
    // A stop that came before the job starts: nothing is opened.
    if (StopRequested(env)) return run;
    const T_RUNNER_OUTCOME outcome =
        RunOnRunner(param, job, T_JOB_QUESTION{args.strImage + " already exists.", args.bYes});
    run.bResult = EverySlotOk(outcome);
    run.nTotal = outcome.report.nDriveBytes;
    run.nImageBytes = outcome.report.nImageBytes;
    run.bImageUnfinished = outcome.report.bImageUnfinished;
    return run;
}

// The closing line of a job that a stop cut short: what the image holds.
// The engine replaces an existing image only with its first block, and
// removes a new one that never got a block.
void LogStopped(EStopSignal eSignal, const std::string& strImage, const T_READ_RUN& run)
{
    const char* pBy = StopSignalText(eSignal);
    if (run.bImageUnfinished) {
        LogError("stopped by %s: the image %s is not usable; its compressed data could not be ended.\n", pBy,
                 strImage);
    } else if (run.nImageBytes > 0) {
        LogError("stopped by %s: the image %s is incomplete; it holds %I64u of the drive's %I64u bytes.\n", pBy,
                 strImage, run.nImageBytes, run.nTotal);
    } else if (run.bImageExisted) {
        LogError("stopped by %s before any of the drive's bytes reached %s; it was left as it was.\n", pBy, strImage);
    } else {
        LogError("stopped by %s before any of the drive's bytes were read; no image was written.\n", pBy);
    }
}

}  // namespace

int RunReadCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    T_READ_RUN run;
    bool bOutputOk = false;
    bool bStopped = false;
    {
        CCliJob job(env, {PROGRESS_DRIVE_SPEED});
        run = RunJob(args, env, job);
        // A stop that came after the read had succeeded changes nothing: the
        // image is whole and its digest was given.
        bStopped = StopRequested(env) && !run.bResult;
        if (bStopped) LogStopped(env.pStop->Signal(), args.strImage, run);
        bOutputOk = job.Finish();
    }
    if (bStopped) return StopExitStatus(env.pStop->Signal());
    return run.bResult && bOutputOk ? 0 : 1;
}
