#include "cli/cli_write.h"

#include "cli/cli_drive_job.h"

namespace {

constexpr const char* WRITE_HEADING = "下記のドライブにイメージを書き込みます。";

}  // namespace

std::string WriteConfirmationText(const std::vector<T_TARGET>& arrTargets)
{
    return std::string(WRITE_HEADING) + "\n" + TargetLines(arrTargets);
}

int RunWriteCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    T_DRIVE_JOB_KIND kind;
    kind.nTask = DUMPTASK_WRITE;
    kind.arrSpeedCodes = ImageJobSpeedCodes();
    kind.rules.bWrite = true;
    kind.rules.bCompressed = WantsCompression(args);
    kind.rules.bForceWrite = args.bForceWrite;
    kind.fnConfirmation = WriteConfirmationText;
    kind.pszNotConfirmed = "the write was not confirmed; no drive was written.";
    kind.pszNoDrive = "written";
    kind.pszCutShort = "the job was cut short; a drive marked NG may hold only part of the image, or was not "
                       "checked.";
    return RunDriveJob(args, env, kind);
}
