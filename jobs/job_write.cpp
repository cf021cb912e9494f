// The write job: the image to every drive of the job, then, when asked, a
// compare of the drives that were written, or their MD5 read-back check.
#include <mutex>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/debug_trace.h"
#include "engine/core/log.h"
#include "engine/write/image_to_disk.h"
#include "jobs/job_runner.h"
#include "jobs/job_run.h"

namespace {

void RegisterWriteEngines(CImageToDisk* pWrite, CCompareDiskImage* pCompare)
{
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    g_pImageToDisk = pWrite;
    g_pCompareDiskImage = pCompare;
}

// Compares the written drives with the image, with the verify pass's own
// options; each drive's place in the compare run, or -1 when it was not
// compared.
std::vector<int> VerifyWritten(T_JOB_RUN& run, CCompareDiskImage& compare, const T_JOB_OPTIONS& verifyOptions,
                               const std::vector<bool>& arrWritten, T_ENGINE_RESULT& verified)
{
    std::vector<int> arrPlace(run.arrDrives.size(), -1);
    T_ENGINE_JOB job = run.EngineJob(verifyOptions);
    job.bVerifyPass = true;  // the write was the job's first half
    job.arrDrives.clear();
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        if (!arrWritten[i]) continue;
        arrPlace[i] = static_cast<int>(job.arrDrives.size());
        const T_JOB_DRIVE& drive = run.arrDrives[i];
        job.arrDrives.push_back(T_ENGINE_DRIVE{drive.strPath, drive.strName, drive.nSlot});
    }
    if (job.arrDrives.empty()) return arrPlace;
    verified = compare.Run(job);
    if (verified.bOk) {
        LogInfo("%s VERIFY OK.\n", StampNow());
    } else {
        DebugTrace("CCompareDiskImage::Run() error.\n");
        LogError("%s VERIFY NG.\n", StampNow());
    }
    return arrPlace;
}

// One line per drive; its verdict is the write's and the check's together.
void SummaryLines(T_JOB_RUN& run, const T_JOB_OPTIONS& options, const T_ENGINE_RESULT& written,
                  const T_ENGINE_RESULT& verified, const std::vector<int>& arrPlace)
{
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        const bool bWritten = written.arrSlots[i].Ok();
        SummaryStart(run.arrDrives[i]);
        if (options.bVerify) {
            SummaryVerdict("DISK WRITE=%s", bWritten);
            SummaryText(", ");
            const bool bVerified = arrPlace[i] >= 0 && verified.arrSlots[static_cast<size_t>(arrPlace[i])].Ok();
            if (arrPlace[i] >= 0) SummaryVerdict("VERIFY=%s\n", bVerified);
            else SummaryText("VERIFY=--\n");
            run.arrResult[i] = bWritten && bVerified;
        } else if (options.bMD5Verify) {
            SummaryVerdict("DISK WRITE=%s", bWritten);
            SummaryText(", ");
            SummaryVerdict("MD5SUM CHECK=%s\n", written.DigestMatches(i));
            run.arrResult[i] = bWritten && written.DigestMatches(i);
        } else {
            SummaryVerdict("DISK WRITE=%s\n", bWritten);
            run.arrResult[i] = bWritten;
        }
    }
}

}  // namespace

void RunWriteJob(T_JOB_RUN& run)
{
    // The MD5 check takes the place of the compare; a forced write lends
    // force-verify to its own compare only.
    T_JOB_OPTIONS writeOptions = run.options;
    if (writeOptions.bMD5Verify) writeOptions.bVerify = false;
    T_JOB_OPTIONS verifyOptions = writeOptions;
    if (verifyOptions.bForceWrite) verifyOptions.bForceVerify = true;

    CImageToDisk write;
    CCompareDiskImage compare;
    RegisterWriteEngines(&write, &compare);

    const T_ENGINE_RESULT written = write.Run(run.EngineJob(writeOptions));
    if (written.bOk)
        LogInfo("%s DISK WRITE OK.\n", StampNow());
    else
        LogError("%s DISK WRITE FAILED.\n", StampNow());
    std::vector<bool> arrWritten(run.arrDrives.size());
    for (size_t i = 0; i < arrWritten.size(); ++i) arrWritten[i] = written.arrSlots[i].Ok();

    std::vector<int> arrPlace(run.arrDrives.size(), -1);
    T_ENGINE_RESULT verified;
    if (writeOptions.bVerify) arrPlace = VerifyWritten(run, compare, verifyOptions, arrWritten, verified);
    SummaryLines(run, writeOptions, written, verified, arrPlace);
    RegisterWriteEngines(nullptr, nullptr);
}
