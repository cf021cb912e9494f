// The read job: the first drive into the image, then, when asked, a compare
// of the drive with the new image, and the .md5sum file beside it.
#include <mutex>

#include "engine/checksum/md5sum_file.h"
#include "engine/compare/compare_disk_image.h"
#include "engine/core/debug_trace.h"
#include "engine/core/log.h"
#include "engine/read/disk_to_image.h"
#include "jobs/job_runner.h"
#include "jobs/job_run.h"

namespace {

void RegisterReadEngines(CDiskToImage* pRead, CCompareDiskImage* pCompare)
{
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    g_pDiskToImage = pRead;
    g_pCompareDiskImage = pCompare;
}

// After a good read: "%s.md5sum" with the digest and the image's file
// name. A file that cannot be written is a failed step of the job: the
// error line names it and why, and the drive's verdict is NG. True when no
// file was asked for or it was written.
bool WriteMd5SumFile(const T_JOB_RUN& run, const T_SLOT_RESULT& read)
{
    if (!run.options.bMakeMD5SUM || !read.bDigest) return true;
    uint32_t nError = 0;
    const std::string& strImage = run.param.szImagePath;
    if (WriteMd5SumFile(run.devices, strImage, read.digest, nError)) return true;
    LogError("can't create file %s.\n%s\n", Md5SumPathOf(strImage),
             Md5SumWriteFailureText(run.devices, strImage, nError));
    return false;
}

// The summary's first items: the read's verdict, then the .md5sum file's,
// only when it failed ("GRAVELMOOR=OK, MD5SUM FILE=NG"). bLineEnds: no
// item follows them.
void SummaryRead(const T_JOB_DRIVE& drive, bool bDumped, bool bSumWritten, bool bLineEnds)
{
    SummaryStart(drive);
    SummaryVerdict(bLineEnds && bSumWritten ? "GRAVELMOOR=%s\n" : "GRAVELMOOR=%s", bDumped);
    if (bSumWritten) return;
    SummaryText(", ");
    SummaryVerdict(bLineEnds ? "MD5SUM FILE=%s\n" : "MD5SUM FILE=%s", false);
}

}  // namespace

void RunReadJob(T_JOB_RUN& run)
{
    if (run.arrDrives.empty()) return;
    const T_JOB_DRIVE& drive = run.arrDrives[0];
    T_ENGINE_JOB job = run.EngineJob(run.options);
    job.arrDrives.resize(1);
    CDiskToImage read;
    CCompareDiskImage compare;
    RegisterReadEngines(&read, &compare);

    bool bSumWritten = true;
    const T_ENGINE_RESULT result = read.Run(job);
    if (result.bOk) {
        LogInfo("%s GRAVELMOOR OK.\n", StampNow());
        bSumWritten = WriteMd5SumFile(run, result.arrSlots[0]);
    } else {
        LogError("%s GRAVELMOOR FAILED.\n", StampNow());
    }
    const bool bDumped = result.arrSlots[0].Ok();
    if (T_DUMPTASK_REPORT* pReport = run.param.pReport) {
        pReport->nDriveBytes = result.nTotal;
        pReport->nImageBytes = result.arrSlots[0].nBytes;
        pReport->bImageUnfinished = result.bImageUnfinished;
    }

    if (run.options.bVerify) {
        bool bVerified = false;
        bool bEqual = false;
        if (bDumped) {
            job.bVerifyPass = true;  // the compare is the job's second half
            const T_ENGINE_RESULT compared = compare.Run(job);
            bVerified = compared.bOk;
            bEqual = compared.arrSlots[0].Ok();
            if (bVerified) {
                LogInfo("%s VERIFY OK.\n", StampNow());
            } else {
                DebugTrace("CCompareDiskImage::Run() error.\n");
                LogError("%s VERIFY NG.\n", StampNow());
            }
        }
        SummaryRead(drive, bDumped, bSumWritten, false);
        SummaryText(", ");
        if (bDumped) SummaryVerdict("VERIFY=%s\n", bEqual);
        else SummaryText("VERIFY=--\n");
        run.arrResult[0] = bDumped && bSumWritten && bVerified && bEqual;
    } else if (run.options.bMD5Verify) {
        run.arrResult[0] = bDumped && bSumWritten;
    } else {
        SummaryRead(drive, bDumped, bSumWritten, true);
        run.arrResult[0] = bDumped && bSumWritten;
    }
    RegisterReadEngines(nullptr, nullptr);
}
