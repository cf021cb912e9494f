#include "cli/cli_write.h"

#include <span>

#include "cli/cli_verdict.h"
#include "engine/compare/compare_disk_image.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/write/image_to_disk.h"

namespace {

constexpr const char* WRITE_HEADING = "下記のドライブにイメージを書き込みます。";

void PublishOptions(const T_CLI_ARGS& args, bool bCompressed)
{
    ResetJobOptions();
    g_bOptCompressImage = bCompressed;
    g_bOptForceWrite = args.bForceWrite;
    g_bOptCompareAfterWrite = args.bDiffOnly;
    g_bOptMD5Verify = args.bMd5Verify;
    g_bOptVerify = args.bVerify;
    // A forced write is compared over what was written, whatever the lengths.
    g_bOptForceVerify = args.bForceVerify || args.bForceWrite;
    g_bOptUnstableRead = args.bUnstable;
    g_nUnstableReadCount = args.bUnstable ? UNSTABLE_READ_AGREEMENT : 0;
}

// Shows what will be overwritten and asks. A stop request answers No.
bool Confirm(const T_CLI_ARGS& args, const T_CLI_ENV& env, CCliJob& job, const std::vector<T_TARGET>& arrTargets)
{
    job.PrintQueued();
    env.io.write(EStream::Error, WriteConfirmationText(arrTargets));
    const bool bYes = AskOperator(WRITE_QUESTION, PromptRuleOf(args.bYes, env), env.io);
    const bool bStopped = StopRequested(env);  // also while the answer was typed
    if (bYes && !bStopped) return true;
    if (!bStopped) LogError("the write was not confirmed; no drive was written.\n");
    return false;
}

// The compare pass over the drives that were written in full, each under
// its own name and row. The places compared, as write slots.
std::vector<size_t> VerifyWritten(const T_CLI_ARGS& args, CImageToDisk& writer, CCompareDiskImage& compare,
                                  uint32_t nBlocks)
{
    std::vector<size_t> arrSlots;
    std::vector<std::string> arrPaths;
    for (size_t i = 0; i < args.arrDrives.size(); ++i) {
        if (!WasWritten(writer, i)) continue;
        compare.m_strName[arrPaths.size()] = args.arrDrives[i];
        compare.m_nRow[arrPaths.size()] = static_cast<int>(i);
        arrSlots.push_back(i);
        arrPaths.push_back(args.arrDrives[i]);
    }
    if (!arrPaths.empty()) compare.Run(std::span<const std::string>(arrPaths), args.strImage, nBlocks);
    return arrSlots;
}

EVerdict VerdictOf(const T_CLI_ARGS& args, const CImageToDisk& writer, const CCompareDiskImage& compare,
                   const std::vector<size_t>& arrCompared, size_t i, bool bStopped)
{
    if (!WasWritten(writer, i)) return bStopped ? EVerdict::Stopped : EVerdict::WriteFailed;
    if (args.bMd5Verify && !writer.m_Task[i].bMd5Match) return bStopped ? EVerdict::Stopped : EVerdict::Md5Mismatch;
    if (!args.bVerify) return EVerdict::Ok;
    for (size_t k = 0; k < arrCompared.size(); ++k) {
        if (arrCompared[k] == i) return CompareVerdict(compare, k, bStopped);
    }
    return EVerdict::Stopped;  // written, but stopped before its compare
}

// Runs the write, then the compare pass when asked and not stopped.
std::vector<T_DRIVE_VERDICT> WriteAndCheck(const T_CLI_ARGS& args, const T_CLI_ENV& env, CCliJob& job,
                                           uint32_t nBlocks)
{
    CImageToDisk writer;
    CCompareDiskImage compare;
    WireEngine(writer, job, env);
    WireEngine(compare, job, env);
    writer.m_bVerifyFollows = compare.m_bVerifyFollows = g_bOptVerify;
    std::vector<size_t> arrCompared;
    const int nCount = static_cast<int>(args.arrDrives.size());
    job.RunInBackground(
        [&] {
            writer.Run(nCount, args.arrDrives.data(), args.strImage, nBlocks);
            if (g_bOptVerify && !StopRequested(env)) arrCompared = VerifyWritten(args, writer, compare, nBlocks);
        },
        [&] {
            writer.Abort();
            compare.Abort();
        },
        T_JOB_QUESTION{});
    const bool bStopped = StopRequested(env);
    std::vector<T_DRIVE_VERDICT> arrVerdicts;
    for (size_t i = 0; i < args.arrDrives.size(); ++i) {
        const EVerdict eVerdict = VerdictOf(args, writer, compare, arrCompared, i, bStopped);
        arrVerdicts.push_back(T_DRIVE_VERDICT{args.arrDrives[i], eVerdict});
    }
    return arrVerdicts;
}

void LogStopped(EStopSignal eSignal, const std::vector<T_DRIVE_VERDICT>& arrVerdicts)
{
    const char* pBy = StopSignalText(eSignal);
    if (arrVerdicts.empty()) {
        LogError("stopped by %s before any drive was written.\n", pBy);
    } else {
        LogError("stopped by %s: the job was cut short; a drive marked NG (stopped) may hold only part of the "
                 "image, or was not checked.\n",
                 pBy);
    }
}

}  // namespace

std::string WriteConfirmationText(const std::vector<T_TARGET>& arrTargets)
{
    std::string strText = std::string(WRITE_HEADING) + "\n";
    for (const T_TARGET& target : arrTargets) strText += FormatText("%s (%I64u)\n", target.strPath, target.nSize);
    return strText;
}

int RunWriteCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    std::vector<T_DRIVE_VERDICT> arrVerdicts;
    bool bStopped = false;
    bool bOutputOk = false;
    {
        CCliJob job(env, ImageJobSpeedCodes());
        const bool bCompressed = WantsCompression(args);
        PublishOptions(args, bCompressed);
        std::vector<T_TARGET> arrTargets;
        const T_TARGET_RULES rules{true, bCompressed, args.bForceWrite};
        if (InspectJob(DevicesOf(env), args.strImage, args.arrDrives, rules, arrTargets)) {
            const uint32_t nBlocks = JobBlockCount(args.nBufferMiB, env.nAvailableMiB);
            if (Confirm(args, env, job, arrTargets)) {
                arrVerdicts = WriteAndCheck(args, env, job, nBlocks);
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
