// The commands over drives, write, verify and erase: the job's pre-flight
// before anything is asked, the question before drives are overwritten,
// the job on the job runner, and its verdicts as the exit status.
#include <functional>
#include <string>
#include <vector>

#include "cli/cli_buffer.h"
#include "cli/cli_commands.h"
#include "cli/cli_runner.h"
#include "engine/core/format.h"
#include "engine/core/log.h"
#include "engine/erase/erase_methods.h"
#include "jobs/job_preflight.h"

namespace {

constexpr const char* JOB_QUESTION = "実行しますか？";
constexpr const char* WRITE_HEADING = "下記のドライブにイメージを書き込みます。";
constexpr const char* ERASE_HEADING = "下記のドライブを消去します。";
constexpr const char* ERASE_WARNING =
    "★警告\n消去されたデータを現実的なコストで復元する事は恐らく不可能ですので、十分ご注意下さい。";

// How one of the three commands differs from the others.
struct T_DRIVE_JOB_KIND {
    int nTask = DUMPTASK_WRITE;
    std::vector<uint32_t> arrSpeedCodes;  // the progress line's speeds
    // The text shown before the question, from the drive lines; null: the
    // job asks nothing.
    std::function<std::string(const std::string&)> fnConfirmation;
    const char* pszNotConfirmed = "";  // the log line after a No
    const char* pszNoDrive = "";       // "written": the stop line before the job ran
    const char* pszCutShort = "";      // the stop line of a job cut short
};

// The drive list's text without its padding.
std::string Trimmed(const std::string& strText)
{
    const size_t nBegin = strText.find_first_not_of(' ');
    if (nBegin == std::string::npos) return {};
    return strText.substr(nBegin, strText.find_last_not_of(' ') - nBegin + 1);
}

// The drives as the confirmation lists them: one line each, path and size
// in bytes, then a listed drive's text.
std::string DriveLines(const std::vector<T_CLI_SLOT>& arrSlots, const std::vector<uint64_t>& arrSizes)
{
    std::string strText;
    for (size_t i = 0; i < arrSlots.size(); ++i) {
        strText += FormatText("%s (%I64u)", arrSlots[i].strPath, i < arrSizes.size() ? arrSizes[i] : 0);
        strText += arrSlots[i].strText.empty() ? "\n" : "  " + Trimmed(arrSlots[i].strText) + "\n";
    }
    return strText;
}

// Shows what will be overwritten and asks. A stop request answers No.
bool Confirm(const T_CLI_ARGS& args, const T_CLI_ENV& env, CCliJob& job, const T_DRIVE_JOB_KIND& kind,
             const std::string& strDriveLines)
{
    if (!kind.fnConfirmation) return !StopRequested(env);
    job.PrintQueued();
    env.io.write(EStream::Error, kind.fnConfirmation(strDriveLines));
    const bool bYes = AskOperator(JOB_QUESTION, PromptRuleOf(args.bYes, env), env.io);
    const bool bStopped = StopRequested(env);  // also while the answer was typed
    if (bYes && !bStopped) return true;
    if (!bStopped) LogError("%s\n", kind.pszNotConfirmed);
    return false;
}

// Runs the command's job and returns the exit status.
int RunDriveJob(const T_CLI_ARGS& args, const T_CLI_ENV& env, const T_DRIVE_JOB_KIND& kind)
{
    T_RUNNER_OUTCOME outcome;
    bool bStarted = false;
    bool bStopped = false;
    bool bOutputOk = false;
    {
        CCliJob job(env, kind.arrSpeedCodes);
        std::vector<T_CLI_SLOT> arrSlots;
        if (ResolveSlots(args.arrDrives, env, arrSlots)) {
            T_DUMPTASK_PARAM param = MakeTaskParam(args, kind.nTask, arrSlots, env);
            const T_PREFLIGHT_RESULT preflight = PreflightJob(param);
            if (LogRefusals(preflight)) {
                param.nBufferMiB = static_cast<int>(JobBlockCount(AskedBufferMiB(args, env), env.nAvailableMiB));
                if (Confirm(args, env, job, kind, DriveLines(arrSlots, preflight.arrDriveSizes))) {
                    bStarted = true;
                    outcome = RunOnRunner(param, job, T_JOB_QUESTION{});
                }
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

}  // namespace

int RunWriteCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    T_DRIVE_JOB_KIND kind;
    kind.nTask = DUMPTASK_WRITE;
    kind.arrSpeedCodes = ImageJobSpeedCodes();
    kind.fnConfirmation = [](const std::string& strDrives) { return std::string(WRITE_HEADING) + "\n" + strDrives; };
    kind.pszNotConfirmed = "the write was not confirmed; no drive was written.";
    kind.pszNoDrive = "written";
    kind.pszCutShort = "the job was cut short; a drive marked NG may hold only part of the image, or was not "
                       "checked.";
    return RunDriveJob(args, env, kind);
}

int RunVerifyCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    T_DRIVE_JOB_KIND kind;
    kind.nTask = DUMPTASK_VERIFY;
    kind.arrSpeedCodes = ImageJobSpeedCodes();
    kind.pszNoDrive = "compared";
    kind.pszCutShort = "the verify was cut short.";
    return RunDriveJob(args, env, kind);
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
    kind.fnConfirmation = [&args](const std::string& strDrives) {
        return std::string(ERASE_HEADING) + "\n" + strDrives + FindEraseMethod(args.nMethod).pLogLine +
               ERASE_WARNING + "\n";
    };
    kind.pszNotConfirmed = "the erase was not confirmed; no drive was erased.";
    kind.pszNoDrive = "erased";
    kind.pszCutShort = "the erase was cut short; a drive marked NG is only partly erased.";
    return RunDriveJob(args, env, kind);
}
