#include "cli/cli_drive_job.h"

#include "cli/cli_prompt.h"
#include "engine/core/format.h"
#include "engine/core/log.h"

namespace {

constexpr const char* JOB_QUESTION = "実行しますか？";

// Shows what will be overwritten and asks. A stop request answers No.
bool Confirm(const T_CLI_ARGS& args, const T_CLI_ENV& env, CCliJob& job, const T_DRIVE_JOB_KIND& kind,
             const std::vector<T_TARGET>& arrTargets)
{
    if (!kind.fnConfirmation) return !StopRequested(env);
    job.PrintQueued();
    env.io.write(EStream::Error, kind.fnConfirmation(arrTargets));
    const bool bYes = AskOperator(JOB_QUESTION, PromptRuleOf(args.bYes, env), env.io);
    const bool bStopped = StopRequested(env);  // also while the answer was typed
    if (bYes && !bStopped) return true;
    if (!bStopped) LogError("%s\n", kind.pszNotConfirmed);
    return false;
}

bool Inspect(const T_CLI_ARGS& args, const T_CLI_ENV& env, const T_DRIVE_JOB_KIND& kind,
             std::vector<T_TARGET>& arrTargets)
{
    if (kind.nTask == DUMPTASK_ERASE) return InspectDrives(DevicesOf(env), args.arrDrives, kind.rules, arrTargets);
    return InspectJob(DevicesOf(env), args.strImage, args.arrDrives, kind.rules, arrTargets);
}

}  // namespace

std::string TargetLines(const std::vector<T_TARGET>& arrTargets)
{
    std::string strText;
    for (const T_TARGET& target : arrTargets) strText += FormatText("%s (%I64u)\n", target.strPath, target.nSize);
    return strText;
}

int RunDriveJob(const T_CLI_ARGS& args, const T_CLI_ENV& env, const T_DRIVE_JOB_KIND& kind)
{
    T_RUNNER_OUTCOME outcome;
    bool bStarted = false;
    bool bStopped = false;
    bool bOutputOk = false;
    {
        CCliJob job(env, kind.arrSpeedCodes);
        std::vector<T_TARGET> arrTargets;
        if (Inspect(args, env, kind, arrTargets)) {
            const uint32_t nBlocks = JobBlockCount(args.nBufferMiB, env.nAvailableMiB);
            if (Confirm(args, env, job, kind, arrTargets)) {
                bStarted = true;
                T_DUMPTASK_PARAM param = MakeTaskParam(args, kind.nTask, PathSlots(args.arrDrives), nBlocks);
                outcome = RunOnRunner(param, job, env, T_JOB_QUESTION{});
            }
        }
        bStopped = StopRequested(env) && !EverySlotOk(outcome);
        if (bStopped) {
            const char* pBy = StopSignalText(env.pStop->Signal());
            if (bStarted) LogError("stopped by %s: %s\n", pBy, kind.pszCutShort);
            else LogError("stopped by %s before any drive was %s.\n", pBy, kind.pszNoDrive);
        }
        bOutputOk = job.Finish();
    }
    if (bStopped) return StopExitStatus(env.pStop->Signal());
    return EverySlotOk(outcome) && bOutputOk ? 0 : 1;
}
