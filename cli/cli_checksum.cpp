// The checksum command: one request to the image checksum task, its
// report printed, and the .md5sum file's verdict.
#include "cli/cli_commands.h"

#include <chrono>

#include "cli/cli_job.h"
#include "engine/checksum/hash_task.h"
#include "engine/checksum/md5sum_file.h"
#include "engine/core/log.h"
#include "jobs/job_preflight.h"

namespace {

// What the task reported for the command's request.
struct T_CHECKSUM_REPORT {
    std::string strDigest;  // empty: no digest came
    std::string strSize;
    int64_t nVerdict = -1;  // 0 the .md5sum file agrees, -1 there is none, else a CHECKSUM_VERDICT_ value
};

void TakeReport(const T_NOTIFY_MSG& msg, T_CHECKSUM_REPORT& report)
{
    if (msg.uMsg != WM_CHECKSUM_RESULT) return;
    switch (msg.wParam) {
    case CHECKSUM_DIGEST: report.strDigest = HeapStringOf(msg.lParam); break;
    case CHECKSUM_SIZE: report.strSize = HeapStringOf(msg.lParam); break;
    case CHECKSUM_VERDICT: report.nVerdict = msg.lParam; break;
    default: break;  // started, cancelled, failed: the digest's absence says enough
    }
    if (msg.wParam == CHECKSUM_DIGEST || msg.wParam == CHECKSUM_SIZE) FreeHeapString(msg.lParam);
}

// One request to the task, waited for on the job's background thread while
// this thread prints; a stop cancels it. The request is made before the
// wait starts, so that a stop can never come before it.
void Compute(const T_CLI_ARGS& args, bool bCompressed, const T_CLI_ENV& env, CCliJob& job)
{
    CHashTask task;
    task.m_hNotifyWnd = &job.Queue();
    task.m_pDevices = &DevicesOf(env);
    task.m_bLogReasons = true;
    task.m_fnStartThread = StartBackgroundThread;
    if (!task.Start()) {
        LogError("CreateThread() failed.\n");
        return;
    }
    const uint64_t nRequest = task.Request(args.strImage, bCompressed);
    job.RunInBackground(
        [&] {
            while (!task.WaitFinished(nRequest, std::chrono::hours(1))) {
            }
        },
        [&] { task.Cancel(); }, T_JOB_QUESTION{});
}

// Why the .md5sum file does not agree, read again for the operator.
std::string DisagreementOf(IDeviceProvider& devices, const std::string& strImage)
{
    const T_MD5SUM_FILE file = ReadMd5SumFile(devices, strImage);
    switch (file.eState) {
    case EMd5SumFile::Digest: return "it holds " + DigestText(file.digest);
    case EMd5SumFile::NoDigest: return "it does not start with an MD5 digest";
    case EMd5SumFile::Unreadable: {
        std::string strReason = file.strReason;
        while (!strReason.empty() && strReason.back() == '\n') strReason.pop_back();
        return "can't read it: " + strReason;
    }
    case EMd5SumFile::Missing: break;
    }
    return "it is gone";
}

// The closing lines; true when the digest was computed and no .md5sum file
// disagrees.
bool LogReport(const T_CHECKSUM_REPORT& report, const std::string& strImage, IDeviceProvider& devices)
{
    LogInfo("IMAGE MD5SUM=%s\n", report.strDigest);
    LogInfo("IMAGE DATA SIZE=%s bytes\n", report.strSize);
    const std::string strSumFile = Md5SumPathOf(strImage);
    if (report.nVerdict < 0) {
        LogInfo("  %s - none, nothing to compare with.\n", strSumFile);
        return true;
    }
    LogInfo("  %s - ", strSumFile);
    if (report.nVerdict == 0) {
        LogPost(LOG_STYLE_OK, "OK\n");
        return true;
    }
    if (report.nVerdict == CHECKSUM_VERDICT_OF_FILE)
        LogPost(LOG_STYLE_NG, "NG (it holds the digest of the compressed file itself, not of its data)\n");
    else
        LogPost(LOG_STYLE_NG, "NG (%s)\n", DisagreementOf(devices, strImage));
    return false;
}

}  // namespace

int RunChecksumCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    T_CHECKSUM_REPORT report;
    bool bAgreed = false;
    bool bStopped = false;
    bool bOutputOk = false;
    {
        CCliJob job(env, {});
        job.SetResultHandler([&](const T_NOTIFY_MSG& msg) { TakeReport(msg, report); });
        const bool bCompressed = WantsCompression(args);
        if (bCompressed && !ZlibLibraryFound()) {
            LogError("can't read file %s.\na compressed image needs the zlib library, and none was found.\n",
                     args.strImage);
        } else {
            LogInfo("CHECKSUM %s%s\n", args.strImage, bCompressed ? " (compressed)" : "");
            Compute(args, bCompressed, env, job);
        }
        // A stop that came after the digest changes nothing: it was given.
        bStopped = StopRequested(env) && report.strDigest.empty();
        if (!report.strDigest.empty())
            bAgreed = LogReport(report, args.strImage, DevicesOf(env));
        else if (bStopped)
            LogError("stopped by %s: the checksum of %s was not computed.\n", StopSignalText(env.pStop->Signal()),
                     args.strImage);
        else
            LogError("the checksum of %s could not be computed.\n", args.strImage);
        bOutputOk = job.Finish();
    }
    if (bStopped) return StopExitStatus(env.pStop->Signal());
    return bAgreed && bOutputOk ? 0 : 1;
}
