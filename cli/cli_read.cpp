#include "cli/cli_read.h"

#include <filesystem>
#include <system_error>

#include "cli/cli_paths.h"
#include "cli/cli_runner.h"
#include "cli/cli_targets.h"
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

// The read's pre-flight, before anything is locked or unmounted: the
// image may not be stored on the drive (once its volumes are unmounted, it
// would be created in the bare mount point), nor may the job unmount the
// running system's file systems.
bool Preflight(const T_CLI_ARGS& args, const T_CLI_ENV& env, const T_CLI_SLOT& slot)
{
    T_PREFLIGHT_JOB job;
    job.nTask = DUMPTASK_READ;
    job.image = LookAtImage(DevicesOf(env), args.strImage, true);
    job.arrDrives = {LookAtDrive(DevicesOf(env), slot.strPath, slot.strPath, JobReleasesVolumes(slot, args))};
    if (env.fnSystemPlaces) job.arrPlaces = env.fnSystemPlaces();
    job.strLeaveMounted = LEAVE_MOUNTED;
    return PreflightJob(job);
}

T_READ_RUN RunJob(const T_CLI_ARGS& args, const T_CLI_ENV& env, CCliJob& job)
{
    T_READ_RUN run;
    // Compression is on only with a zlib library; without one a compressed
    // image is refused before anything is opened.
    if (WantsCompression(args) && !ZlibLibraryFound()) {
        LogError("can't create file %s.\na compressed image needs the zlib library, and none was found.\n",
                 args.strImage);
        return run;
    }
    std::vector<T_CLI_SLOT> arrSlots;
    if (!ResolveSlots(args.arrDrives, env, arrSlots) || !Preflight(args, env, arrSlots.front())) return run;
    const uint32_t nBlocks = JobBlockCount(AskedBufferMiB(args, env), env.nAvailableMiB);
    std::error_code ec;
    run.bImageExisted = std::filesystem::exists(PathOf(args.strImage), ec);
    // A stop that came before the job starts: nothing is opened.
    if (StopRequested(env)) return run;
    T_DUMPTASK_PARAM param = MakeTaskParam(args, DUMPTASK_READ, arrSlots, nBlocks);
    const T_RUNNER_OUTCOME outcome =
        RunOnRunner(param, job, env, T_JOB_QUESTION{args.strImage + " already exists.", args.bYes});
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

// The drive itself is named first: /dev/sdb as image is "the drive
// itself", not merely "not a regular file".
std::string CheckImageTarget(const std::string& strDrive, const std::string& strImage)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(PathOf(strImage), ec);
    if (ec || !fs::exists(status)) return std::string();
    if (IsSameObject(strDrive, strImage)) return "the image " + strImage + " is the drive itself.";
    if (!fs::is_regular_file(status)) return "the image " + strImage + " exists and is not a regular file.";
    return std::string();
}

int RunReadCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    T_READ_RUN run;
    bool bOutputOk = false;
    bool bStopped = false;
    {
        CCliJob job(env, {PROGRESS_DRIVE_SPEED});
        const std::string& strDrive = args.arrDrives.front();
        const std::string strRefusal = CheckImageTarget(strDrive, args.strImage);
        if (!strRefusal.empty())
            LogError("can't create file %s.\n%s\n", args.strImage, strRefusal);
        else
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
