#include "cli/cli_runner.h"

#include <algorithm>

#include "cli/cli_drive_selector.h"
#include "cli/cli_prompt.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "jobs/job_preflight.h"
#include "jobs/job_runner.h"

namespace {

// One listed drive under two words (its node and a link to it, say).
bool RefuseRepeatedListedDrives(const std::vector<std::string>& arrWords, const std::vector<T_CLI_DRIVE>& arrDrives)
{
    bool bOk = true;
    for (size_t i = 0; i < arrDrives.size(); ++i) {
        for (size_t k = i + 1; k < arrDrives.size(); ++k) {
            const T_CLI_DRIVE &a = arrDrives[i], &b = arrDrives[k];
            if (a.nKind == DRIVE_KIND_PATH || a.nKind != b.nKind || a.nNumber != b.nNumber) continue;
            LogError("%s and %s are the same drive: give each drive once.\n", arrWords[i], arrWords[k]);
            bOk = false;
        }
    }
    return bOk;
}

}  // namespace

bool ResolveSlots(const std::vector<std::string>& arrWords, const T_CLI_ENV& env, std::vector<T_CLI_SLOT>& arrSlots)
{
    arrSlots.clear();
    if (env.pInventory == nullptr) {
        for (size_t i = 0; i < arrWords.size(); ++i)
            arrSlots.push_back(T_CLI_SLOT{DRIVE_KIND_PATH, static_cast<int>(i), arrWords[i], {}});
        return true;
    }
    if (std::none_of(arrWords.begin(), arrWords.end(), IsDriveSelector)) env.pInventory->LimitToPaths(arrWords);
    std::vector<T_CLI_DRIVE> arrDrives;
    if (!ResolveDrives(*env.pInventory, arrWords, arrDrives)) return false;
    if (!RefuseRepeatedListedDrives(arrWords, arrDrives)) return false;
    for (size_t i = 0; i < arrDrives.size(); ++i) {
        const T_CLI_DRIVE& drive = arrDrives[i];
        if (drive.nKind == DRIVE_KIND_PATH)
            arrSlots.push_back(T_CLI_SLOT{DRIVE_KIND_PATH, static_cast<int>(i), drive.strPath, {}});
        else
            arrSlots.push_back(T_CLI_SLOT{drive.nKind, static_cast<int>(drive.nNumber), drive.strPath, drive.strText});
    }
    return true;
}

T_DUMPTASK_PARAM MakeTaskParam(const T_CLI_ARGS& args, int nTask, const std::vector<T_CLI_SLOT>& arrSlots,
                               const T_CLI_ENV& env)
{
    T_DUMPTASK_PARAM param;
    param.nTask = nTask;
    param.szImagePath = args.strImage;
    param.pDevices = &DevicesOf(env);
    if (env.pInventory) param.pDriveInfo = &env.pInventory->Inventory();
    param.pSystemPlaces = &env.arrSystemPlaces;
    param.wording = T_REFUSAL_WORDING{true, "give --share-read to leave its volumes mounted", "--force-write"};
    param.dwInterval = 250;
    param.bVerify = args.bVerify;
    param.bEject = args.bEject;
    param.bShareRead = args.bShareRead;
    param.bMakeMD5SUM = args.bMd5Sum;
    param.bForceWrite = args.bForceWrite;
    param.bForceVerify = args.bForceVerify;
    param.bCompareAfterWrite = args.bDiffOnly;
    param.bMD5Verify = args.bMd5Verify;
    param.bUnstableRead = args.bUnstable;
    param.nUnstableReadCount = args.bUnstable ? UNSTABLE_READ_AGREEMENT : 0;
    DecideJobImageFormat(param, FormatAskOf(args));
    param.nCompressThreads = args.nThreads;
    param.strCheckFile = args.strCheckFile;
    param.nCompressLevel = static_cast<int>(args.nLevel);
    param.nEraseMethod = static_cast<int>(args.nMethod);
    for (size_t i = 0; i < arrSlots.size() && i < DUMPTASK_SLOTS; ++i) {
        param.nDriveKind[i] = arrSlots[i].nKind;
        param.nDriveNumber[i] = arrSlots[i].nNumber;
        if (arrSlots[i].nKind == DRIVE_KIND_PATH) param.strDrivePath[i] = arrSlots[i].strPath;
    }
    return param;
}

T_RUNNER_OUTCOME RunOnRunner(T_DUMPTASK_PARAM& param, CCliJob& job, const T_JOB_QUESTION& question)
{
    T_RUNNER_OUTCOME outcome;
    CCliPrompt prompt(job.Queue());
    param.hWnd = &job.Queue();
    param.uMsgProgress = WM_ENGINE_PROGRESS;
    param.uMsgLog = WM_ENGINE_LOG;
    param.uMsgError = WM_USER_ERROR;
    param.pPrompt = &prompt;
    param.pReport = &outcome.report;
    size_t nSlots = 0;
    while (nSlots < DUMPTASK_SLOTS && param.nDriveNumber[nSlots] >= 0) ++nSlots;
    outcome.arrVerdicts.assign(nSlots, EDriveVerdict::None);
    // An engine says NG for a drive as soon as it fails it; the runner's
    // verdict for each drive comes last, after every engine has ended.
    job.SetResultHandler([&](const T_NOTIFY_MSG& msg) {
        if (msg.uMsg != WM_USER_ERROR || msg.lParam < 0 || static_cast<size_t>(msg.lParam) >= nSlots) return;
        outcome.arrVerdicts[static_cast<size_t>(msg.lParam)] = msg.wParam ? EDriveVerdict::Ok : EDriveVerdict::Ng;
    });
    outcome.bRan = job.RunInBackground([&] { RunDumpTask(&param); }, [] { AbortDumpTask(); }, question);
    job.PrintQueued();
    job.SetResultHandler(nullptr);
    return outcome;
}

bool EverySlotOk(const T_RUNNER_OUTCOME& outcome)
{
    return outcome.bRan && !outcome.arrVerdicts.empty() &&
           std::all_of(outcome.arrVerdicts.begin(), outcome.arrVerdicts.end(),
                       [](EDriveVerdict e) { return e == EDriveVerdict::Ok; });
}
