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

// Opens and measures the drives (and the image) and checks them against
// each other and against the running system. arrTargets gets the drives.
bool Inspect(const T_CLI_ARGS& args, const T_CLI_ENV& env, const T_DRIVE_JOB_KIND& kind,
             const std::vector<T_CLI_SLOT>& arrSlots, std::vector<T_TARGET>& arrTargets)
{
    T_TARGET_RULES rules = kind.rules;
    for (const T_CLI_SLOT& slot : arrSlots) rules.arrReleasedByJob.push_back(JobReleasesVolumes(slot, args));
    if (env.fnSystemPlaces) rules.arrPlaces = env.fnSystemPlaces();
    const std::vector<std::string> arrPaths = SlotPaths(arrSlots);
    const bool bOk = kind.nTask == DUMPTASK_ERASE ? InspectDrives(DevicesOf(env), arrPaths, rules, arrTargets)
                                                  : InspectJob(DevicesOf(env), args.strImage, arrPaths, rules, arrTargets);
    for (size_t i = 0; i < arrTargets.size() && i < arrSlots.size(); ++i) arrTargets[i].strText = arrSlots[i].strText;
    return bOk;
}

// The drive list's text without its padding.
std::string Trimmed(const std::string& strText)
{
    const size_t nBegin = strText.find_first_not_of(' ');
    if (nBegin == std::string::npos) return {};
    return strText.substr(nBegin, strText.find_last_not_of(' ') - nBegin + 1);
}

}  // namespace

std::string TargetLines(const std::vector<T_TARGET>& arrTargets)
{
    std::string strText;
    for (const T_TARGET& target : arrTargets) {
        strText += FormatText("%s (%I64u)", target.strPath, target.nSize);
        strText += target.strText.empty() ? "\n" : "  " + Trimmed(target.strText) + "\n";
    }
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
        std::vector<T_CLI_SLOT> arrSlots;
        std::vector<T_TARGET> arrTargets;
        if (ResolveSlots(args.arrDrives, env, arrSlots) && Inspect(args, env, kind, arrSlots, arrTargets)) {
            const uint32_t nBlocks = JobBlockCount(AskedBufferMiB(args, env), env.nAvailableMiB);
            if (Confirm(args, env, job, kind, arrTargets)) {
                bStarted = true;
                T_DUMPTASK_PARAM param = MakeTaskParam(args, kind.nTask, arrSlots, nBlocks);
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
