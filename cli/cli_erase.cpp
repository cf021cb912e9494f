#include "cli/cli_erase.h"

#include "cli/cli_verdict.h"
#include "cli/cli_write.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/core/progress.h"
#include "engine/erase/erase_disk.h"

namespace {

constexpr const char* ERASE_HEADING = "下記のドライブを消去します。";
constexpr const char* ERASE_WARNING =
    "★警告\n消去されたデータを現実的なコストで復元する事は恐らく不可能ですので、十分ご注意下さい。";

// The progress line shows the first drive's speed that is not zero.
std::vector<uint32_t> DriveSpeedCodes()
{
    return {PROGRESS_DRIVE_SPEED, PROGRESS_DRIVE_SPEED + 1, PROGRESS_DRIVE_SPEED + 2, PROGRESS_DRIVE_SPEED + 3};
}

// Shows what will be erased and how, and asks. A stop request answers No.
bool Confirm(const T_CLI_ARGS& args, const T_CLI_ENV& env, CCliJob& job, const std::vector<T_TARGET>& arrTargets)
{
    job.PrintQueued();
    env.io.write(EStream::Error, EraseConfirmationText(arrTargets, args.nMethod));
    const bool bYes = AskOperator(WRITE_QUESTION, PromptRuleOf(args.bYes, env), env.io);
    const bool bStopped = StopRequested(env);  // also while the answer was typed
    if (bYes && !bStopped) return true;
    if (!bStopped) LogError("the erase was not confirmed; no drive was erased.\n");
    return false;
}

std::vector<T_DRIVE_VERDICT> Erase(const T_CLI_ARGS& args, const T_CLI_ENV& env, CCliJob& job, uint32_t nBlocks)
{
    CEraseDisk erase;
    erase.m_hNotifyWnd = &job.Queue();
    erase.m_uProgressMsg = WM_ENGINE_PROGRESS;
    erase.m_dwInterval = 250;
    erase.m_pDevices = &DevicesOf(env);
    const int nCount = static_cast<int>(args.arrDrives.size());
    job.RunInBackground([&] { erase.Run(nCount, args.arrDrives.data(), args.nMethod, nBlocks); },
                        [&] { erase.Abort(); }, T_JOB_QUESTION{});
    const bool bStopped = StopRequested(env);
    std::vector<T_DRIVE_VERDICT> arrVerdicts;
    for (size_t i = 0; i < args.arrDrives.size(); ++i)
        arrVerdicts.push_back(T_DRIVE_VERDICT{args.arrDrives[i], EraseVerdict(erase, i, bStopped)});
    return arrVerdicts;
}

void LogStopped(EStopSignal eSignal, const std::vector<T_DRIVE_VERDICT>& arrVerdicts)
{
    const char* pBy = StopSignalText(eSignal);
    if (arrVerdicts.empty()) {
        LogError("stopped by %s before any drive was erased.\n", pBy);
    } else {
        LogError("stopped by %s: the erase was cut short; a drive marked NG (stopped) is only partly erased.\n",
                 pBy);
    }
}

}  // namespace

std::string EraseConfirmationText(const std::vector<T_TARGET>& arrTargets, uint32_t nMethod)
{
    std::string strText = std::string(ERASE_HEADING) + "\n";
    for (const T_TARGET& target : arrTargets) strText += FormatText("%s (%I64u)\n", target.strPath, target.nSize);
    strText += FindEraseMethod(nMethod).pLogLine;
    return strText + ERASE_WARNING + "\n";
}

int RunEraseCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    std::vector<T_DRIVE_VERDICT> arrVerdicts;
    bool bStopped = false;
    bool bOutputOk = false;
    {
        CCliJob job(env, DriveSpeedCodes());
        ResetJobOptions();
        g_bOptCompareAfterWrite = args.bDiffOnly;
        if (!IsEraseMethod(args.nMethod)) {
            LogWarning("erase method %u is not in the catalogue ('gravelmoor-cli methods'): method 1 is used.\n",
                       args.nMethod);
        }
        std::vector<T_TARGET> arrTargets;
        T_TARGET_RULES rules;
        rules.bWrite = rules.bErase = true;
        if (InspectDrives(DevicesOf(env), args.arrDrives, rules, arrTargets)) {
            const uint32_t nBlocks = JobBlockCount(args.nBufferMiB, env.nAvailableMiB);
            if (Confirm(args, env, job, arrTargets)) {
                arrVerdicts = Erase(args, env, job, nBlocks);
                LogVerdicts(arrVerdicts);
            }
        }
        bStopped = StopRequested(env) && !EveryDriveOk(arrVerdicts);
        if (bStopped) LogStopped(env.pStop->Signal(), arrVerdicts);
        bOutputOk = job.Finish();
    }
    if (bStopped) return StopExitStatus(env.pStop->Signal());
    return EveryDriveOk(arrVerdicts) && bOutputOk ? 0 : 1;
}
