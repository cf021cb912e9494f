// The checksum command: one request to the image checksum task, its
// report printed, and the verdicts of the digest files beside the image
// (IMAGE.md5sum, IMAGE.sha256sum, IMAGE.sha256): each one found is checked
// and says its verdict; the command succeeds when none disagrees.
#include "cli/cli_commands.h"

#include <chrono>

#include "cli/cli_job.h"
#include "engine/checksum/digest_file.h"
#include "engine/checksum/hash_task.h"
#include "engine/checksum/md5sum_file.h"
#include "engine/codecs/format_decision.h"
#include "engine/core/format.h"
#include "engine/core/log.h"
#include "jobs/job_preflight.h"

namespace {

// What the task reported for the command's request.
struct T_CHECKSUM_REPORT {
    std::string strDigest;  // empty: no digest came
    std::string strSize;
    int64_t nVerdict = -1;  // 0 the .md5sum file agrees, -1 there is none, else a CHECKSUM_VERDICT_ value
    std::string strFileSha256;  // empty: not computed
    std::string strDataSha256;  // empty: not computed (or a raw image)
    // Per SHA-256 file (Sha256FilePathsOf): -1 it is not there, else a
    // SHA256_VERDICT_ value.
    int64_t arrSha256Verdict[2] = {-1, -1};
};

void TakeReport(const T_NOTIFY_MSG& msg, T_CHECKSUM_REPORT& report)
{
    if (msg.uMsg != WM_CHECKSUM_RESULT) return;
    switch (msg.wParam) {
    case CHECKSUM_DIGEST: report.strDigest = HeapStringOf(msg.lParam); break;
    case CHECKSUM_SIZE: report.strSize = HeapStringOf(msg.lParam); break;
    case CHECKSUM_VERDICT: report.nVerdict = msg.lParam; break;
    case CHECKSUM_FILE_SHA256: report.strFileSha256 = HeapStringOf(msg.lParam); break;
    case CHECKSUM_DATA_SHA256: report.strDataSha256 = HeapStringOf(msg.lParam); break;
    case CHECKSUM_VERDICT_SHA256SUM: report.arrSha256Verdict[0] = msg.lParam; break;
    case CHECKSUM_VERDICT_SHA256: report.arrSha256Verdict[1] = msg.lParam; break;
    default: break;  // started, cancelled, failed: the digest's absence says enough
    }
    if (ChecksumReportCarriesString(msg.wParam)) FreeHeapString(msg.lParam);
}

// How the first line names the image's format: gzip as it always has.
std::string CompressedNote(EImageFormat eFormat)
{
    if (eFormat == EImageFormat::Raw) return {};
    if (eFormat == EImageFormat::Gzip) return " (compressed)";
    return FormatText(" (compressed, %s)", ImageFormatName(eFormat));
}

// One request to the task, waited for on the job's background thread while
// this thread prints; a stop cancels it. The request is made before the
// wait starts, so that a stop can never come before it.
void Compute(const T_CLI_ARGS& args, EImageFormat eFormat, const T_CLI_ENV& env, CCliJob& job)
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
    const uint64_t nRequest = task.Request(args.strImage, eFormat);
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

// Why a SHA-256 file holds neither digest, read again for the operator.
std::string Sha256DisagreementOf(IDeviceProvider& devices, const std::string& strPath, const std::string& strImage,
                                 bool bCompressed)
{
    const T_DIGEST_FILE file = ReadDigestFile(devices, strPath, strImage);
    if (file.eState == EDigestFile::Missing) return "it is gone";
    if (file.eState != EDigestFile::Digest) return DigestFileProblem(file, strImage);
    if (file.digest.eKind != EDigestKind::Sha256) return "it holds an MD5 digest, not a SHA-256 one";
    const std::string strHolds = "it holds " + DigestText(file.digest);
    return bCompressed ? strHolds + ", the SHA-256 of neither the file nor the image data" : strHolds;
}

// The SHA-256 files' lines; true when each one found agrees.
bool LogSha256Verdicts(const T_CHECKSUM_REPORT& report, const std::string& strImage, IDeviceProvider& devices)
{
    const std::vector<std::string> arrPaths = Sha256FilePathsOf(strImage);
    bool bAgreed = true;
    for (size_t i = 0; i < arrPaths.size() && i < std::size(report.arrSha256Verdict); ++i) {
        const int64_t nVerdict = report.arrSha256Verdict[i];
        if (nVerdict < 0) continue;
        LogInfo("  %s - ", arrPaths[i]);
        if (nVerdict == SHA256_VERDICT_DATA) {
            LogPost(LOG_STYLE_OK, "OK (the SHA-256 of the image data matches)\n");
        } else if (nVerdict == SHA256_VERDICT_FILE) {
            LogPost(LOG_STYLE_OK, "OK (the SHA-256 of the file matches)\n");
        } else {
            const bool bCompressed = !report.strDataSha256.empty();
            LogPost(LOG_STYLE_NG, "NG (%s)\n", Sha256DisagreementOf(devices, arrPaths[i], strImage, bCompressed));
            bAgreed = false;
        }
    }
    return bAgreed;
}

// The .md5sum file's line, when it is there; true unless it disagrees.
bool LogMd5Verdict(const T_CHECKSUM_REPORT& report, const std::string& strImage, IDeviceProvider& devices)
{
    if (report.nVerdict < 0) return true;
    LogInfo("  %s - ", Md5SumPathOf(strImage));
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

// The closing lines; true when the digest was computed and no digest file
// disagrees.
bool LogReport(const T_CHECKSUM_REPORT& report, const std::string& strImage, IDeviceProvider& devices)
{
    LogInfo("IMAGE MD5SUM=%s\n", report.strDigest);
    const bool bCompressed = !report.strDataSha256.empty();
    if (!report.strFileSha256.empty())
        LogInfo("IMAGE SHA256SUM=%s\n", bCompressed ? report.strDataSha256 : report.strFileSha256);
    if (bCompressed) LogInfo("FILE SHA256SUM=%s\n", report.strFileSha256);
    LogInfo("IMAGE DATA SIZE=%s bytes\n", report.strSize);
    if (report.nVerdict < 0 && report.arrSha256Verdict[0] < 0 && report.arrSha256Verdict[1] < 0) {
        LogInfo("  %s, .sha256sum, .sha256 - none, nothing to compare with.\n", Md5SumPathOf(strImage));
        return true;
    }
    const bool bMd5Agreed = LogMd5Verdict(report, strImage, devices);
    return LogSha256Verdicts(report, strImage, devices) && bMd5Agreed;
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
        const T_FORMAT_DECISION format = DecideImageFormat(DevicesOf(env), args.strImage, FormatAskOf(args));
        if (format.eFormat == EImageFormat::Gzip && !ZlibLibraryFound()) {
            LogError("can't read file %s.\na compressed image needs the zlib library, and none was found.\n",
                     args.strImage);
        } else if (!format.look.strRefusal.empty()) {
            LogError("%s", format.look.strRefusal);
        } else {
            if (!format.look.strWarning.empty()) LogWarning("%s", format.look.strWarning);
            LogInfo("CHECKSUM %s%s\n", args.strImage, CompressedNote(format.eFormat));
            Compute(args, format.eFormat, env, job);
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
