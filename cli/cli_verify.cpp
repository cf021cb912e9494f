#include "cli/cli_verify.h"

#include <span>

#include "cli/cli_targets.h"
#include "cli/cli_verdict.h"
#include "engine/compare/compare_disk_image.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"

namespace {

void PublishOptions(const T_CLI_ARGS& args, bool bCompressed)
{
    ResetJobOptions();
    g_bOptCompressImage = bCompressed;
    g_bOptForceVerify = args.bForceVerify;
    g_bOptUnstableRead = args.bUnstable;
    g_nUnstableReadCount = args.bUnstable ? UNSTABLE_READ_AGREEMENT : 0;
}

std::vector<T_DRIVE_VERDICT> Compare(const T_CLI_ARGS& args, const T_CLI_ENV& env, CCliJob& job, uint32_t nBlocks)
{
    CCompareDiskImage compare;
    WireEngine(compare, job, env);
    job.RunInBackground(
        [&] { compare.Run(std::span<const std::string>(args.arrDrives), args.strImage, nBlocks); },
        [&] { compare.Abort(); }, T_JOB_QUESTION{});
    const bool bStopped = StopRequested(env);
    std::vector<T_DRIVE_VERDICT> arrVerdicts;
    for (size_t i = 0; i < args.arrDrives.size(); ++i)
        arrVerdicts.push_back(T_DRIVE_VERDICT{args.arrDrives[i], CompareVerdict(compare, i, bStopped)});
    return arrVerdicts;
}

}  // namespace

int RunVerifyCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    std::vector<T_DRIVE_VERDICT> arrVerdicts;
    bool bStopped = false;
    bool bOutputOk = false;
    {
        CCliJob job(env, ImageJobSpeedCodes());
        const bool bCompressed = WantsCompression(args);
        PublishOptions(args, bCompressed);
        std::vector<T_TARGET> arrTargets;
        const T_TARGET_RULES rules{false, bCompressed, false};
        if (InspectJob(DevicesOf(env), args.strImage, args.arrDrives, rules, arrTargets)) {
            arrVerdicts = Compare(args, env, job, JobBlockCount(args.nBufferMiB, env.nAvailableMiB));
            LogVerdicts(arrVerdicts);
        }
        bStopped = StopRequested(env) && !EveryDriveOk(arrVerdicts);
        if (bStopped) LogError("stopped by %s: the verify was cut short.\n", StopSignalText(env.pStop->Signal()));
        bOutputOk = job.Finish();
    }
    if (bStopped) return StopExitStatus(env.pStop->Signal());
    return EveryDriveOk(arrVerdicts) && bOutputOk ? 0 : 1;
}
