#include "cli/cli_erase.h"

#include "cli/cli_drive_job.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/erase/erase_methods.h"

namespace {

constexpr const char* ERASE_HEADING = "下記のドライブを消去します。";
constexpr const char* ERASE_WARNING =
    "★警告\n消去されたデータを現実的なコストで復元する事は恐らく不可能ですので、十分ご注意下さい。";

// The progress line shows the first drive's speed that is not zero.
std::vector<uint32_t> DriveSpeedCodes()
{
    return {PROGRESS_DRIVE_SPEED, PROGRESS_DRIVE_SPEED + 1, PROGRESS_DRIVE_SPEED + 2, PROGRESS_DRIVE_SPEED + 3};
}

}  // namespace

std::string EraseConfirmationText(const std::vector<T_TARGET>& arrTargets, uint32_t nMethod)
{
    return std::string(ERASE_HEADING) + "\n" + TargetLines(arrTargets) + FindEraseMethod(nMethod).pLogLine +
           ERASE_WARNING + "\n";
}

int RunEraseCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    if (!IsEraseMethod(args.nMethod)) {
        CCliJob job(env, {});
        LogWarning("erase method %u is not in the catalogue ('gravelmoor-cli methods'): method 1 is used.\n",
                   args.nMethod);
        job.Finish();
    }
    T_DRIVE_JOB_KIND kind;
    kind.nTask = DUMPTASK_ERASE;
    kind.arrSpeedCodes = DriveSpeedCodes();
    kind.rules.bWrite = kind.rules.bErase = true;
    kind.fnConfirmation = [&args](const std::vector<T_TARGET>& arrTargets) {
        return EraseConfirmationText(arrTargets, args.nMethod);
    };
    kind.pszNotConfirmed = "the erase was not confirmed; no drive was erased.";
    kind.pszNoDrive = "erased";
    kind.pszCutShort = "the erase was cut short; a drive marked NG is only partly erased.";
    return RunDriveJob(args, env, kind);
}
