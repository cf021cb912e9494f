#pragma once
// What write, verify and erase share: check every drive (and the image)
// before anything is touched, ask before drives are overwritten, run the
// job on the job runner, and turn its verdicts into the exit status.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_runner.h"
#include "cli/cli_targets.h"

// How one of the three commands differs from the others.
struct T_DRIVE_JOB_KIND {
    int nTask = DUMPTASK_WRITE;
    std::vector<uint32_t> arrSpeedCodes;  // the progress line's speeds
    T_TARGET_RULES rules;
    // The text shown before the question; null: the job asks nothing.
    std::function<std::string(const std::vector<T_TARGET>&)> fnConfirmation;
    const char* pszNotConfirmed = "";  // the log line after a No
    const char* pszNoDrive = "";       // "written": the stop line before the job ran
    const char* pszCutShort = "";      // the stop line of a job cut short
};

// Runs the command's job and returns the exit status: 0 when every drive's
// verdict is OK and the log reached standard output, 1 otherwise (refused,
// not confirmed, a drive NG), StopExitStatus after a stop request that cut
// the job short.
int RunDriveJob(const T_CLI_ARGS& args, const T_CLI_ENV& env, const T_DRIVE_JOB_KIND& kind);

// The drives as the confirmation lists them: one line each, path and size
// in bytes, then a listed drive's text.
std::string TargetLines(const std::vector<T_TARGET>& arrTargets);
