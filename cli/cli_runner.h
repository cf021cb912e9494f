#pragma once
// A command's job on the job runner: the same run as the window's. The
// command describes the job from its arguments and passes it through the
// job's pre-flight before it asks anything; the runner locks and
// unmounts the drives' volumes, runs the engines, writes the summary lines,
// releases the volumes and posts each drive's verdict, which is collected
// here. The main thread meanwhile prints the log and turns a stop request
// into aborts until the job has ended.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_job.h"
#include "jobs/job_runner_param.h"

// One drive of the job: a drive of the inventory (kind and number), or a
// device path or file (DRIVE_KIND_PATH).
struct T_CLI_SLOT {
    uint32_t nKind = DRIVE_KIND_PATH;
    int nNumber = 0;
    std::string strPath;  // what it is opened with
    std::string strText;  // the drive list's text; empty for a path
};

// The slots of the command's DRIVE words, in order: selectors and paths of
// listed drives through the environment's inventory (which then probes
// only the drives named, when every word is a path), other paths as they
// are; without an inventory every word is a path. False, with every word
// that names no drive logged, when any does not.
bool ResolveSlots(const std::vector<std::string>& arrWords, const T_CLI_ENV& env, std::vector<T_CLI_SLOT>& arrSlots);
// The job's description: its kind, the command's options, the image and
// the slots in order, looked at through the environment's devices,
// inventory and system places (which must outlive it), its refusals worded
// for the command line. The block count is the runner's least until the
// command sets it.
T_DUMPTASK_PARAM MakeTaskParam(const T_CLI_ARGS& args, int nTask, const std::vector<T_CLI_SLOT>& arrSlots,
                               const T_CLI_ENV& env);

enum class EDriveVerdict { None, Ok, Ng };

struct T_RUNNER_OUTCOME {
    bool bRan = false;                      // the job thread ran to its end
    std::vector<EDriveVerdict> arrVerdicts;  // one per slot; None: the runner gave none
    T_DUMPTASK_REPORT report;               // a read's figures
};

// Runs the job on a thread of its own and returns when it has ended. Its
// messages go to the job's queue; the read's question about an existing
// image is answered by the question's rule.
T_RUNNER_OUTCOME RunOnRunner(T_DUMPTASK_PARAM& param, CCliJob& job, const T_JOB_QUESTION& question);

// Every slot has the verdict OK.
bool EverySlotOk(const T_RUNNER_OUTCOME& outcome);
