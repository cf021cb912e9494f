#include "cli/cli_verify.h"

#include "cli/cli_drive_job.h"

int RunVerifyCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    T_DRIVE_JOB_KIND kind;
    kind.nTask = DUMPTASK_VERIFY;
    kind.arrSpeedCodes = ImageJobSpeedCodes();
    kind.rules.bCompressed = WantsCompression(args);
    kind.pszNoDrive = "compared";
    kind.pszCutShort = "the verify was cut short.";
    return RunDriveJob(args, env, kind);
}
