// The write job: the image to every drive of the job, then, when asked, a
// compare of the drives that were written, or their MD5 read-back check.
#include <mutex>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/debug_trace.h"
#include "engine/core/job_options.h"
#include "engine/core/log.h"
#include "engine/write/image_to_disk.h"
#include "jobs/dump_task.h"
#include "jobs/job_run.h"

namespace {

void Register(CImageToDisk* pWrite, CCompareDiskImage* pCompare)
{
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    g_pImageToDisk = pWrite;
    g_pCompareDiskImage = pCompare;
}

// Compares the written drives with the image; each drive's place in the
// compare run, or -1 when it was not compared.
std::vector<int> VerifyWritten(T_JOB_RUN& run, CCompareDiskImage& compare, const std::vector<bool>& arrWritten)
{
    std::vector<int> arrPlace(run.arrDrives.size(), -1);
    std::vector<std::string> arrPaths;
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        if (!arrWritten[i]) continue;
        const size_t k = arrPaths.size();
        arrPlace[i] = static_cast<int>(k);
        arrPaths.push_back(run.arrDrives[i].strPath);
        compare.m_strName[k] = run.arrDrives[i].strName;
        compare.m_nRow[k] = run.arrDrives[i].nSlot;
    }
    if (arrPaths.empty()) return arrPlace;
    if (compare.Run(arrPaths, run.param.szImagePath, run.nBlocks)) {
        LogInfo("%s VERIFY OK.\n", StampNow());
    } else {
        DebugTrace("CCompareDiskImage::Run() error.\n");
        LogError("%s VERIFY NG.\n", StampNow());
    }
    return arrPlace;
}

void SummaryLines(T_JOB_RUN& run, const CImageToDisk& write, const CCompareDiskImage& compare,
                  const std::vector<bool>& arrWritten, const std::vector<int>& arrPlace)
{
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        SummaryStart(run.arrDrives[i]);
        if (g_bOptVerify) {
            SummaryVerdict("DISK WRITE=%s", arrWritten[i]);
            SummaryText(", ");
            const bool bVerified = arrPlace[i] >= 0 && compare.m_compTask[arrPlace[i]].nResult != 0;
            if (arrPlace[i] >= 0) SummaryVerdict("VERIFY=%s\n", bVerified);
            else SummaryText("VERIFY=--\n");
            run.arrResult[i] = arrWritten[i] && bVerified;
        } else if (g_bOptMD5Verify) {
            SummaryVerdict("DISK WRITE=%s", arrWritten[i]);
            SummaryText(", ");
            SummaryVerdict("MD5SUM CHECK=%s\n", write.m_Task[i].bMd5Match);
            run.arrResult[i] = arrWritten[i] && write.m_Task[i].bMd5Match;
        } else {
            SummaryVerdict("DISK WRITE=%s\n", arrWritten[i]);
            run.arrResult[i] = arrWritten[i];
        }
    }
}

}  // namespace

void RunWriteJob(T_JOB_RUN& run)
{
    CImageToDisk write;
    CCompareDiskImage compare;
    if (g_bOptMD5Verify) g_bOptVerify = false;
    const bool bForceVerifyBefore = g_bOptForceVerify;
    if (g_bOptForceWrite) g_bOptForceVerify = true;
    WireJobEngine(write, run);
    WireJobEngine(compare, run);
    // With a verify pass the write is the first half of the job's progress.
    write.m_bVerifyFollows = compare.m_bVerifyFollows = g_bOptVerify;
    if (run.param.nMismatchLimit >= 0) compare.m_nMismatchLimit = static_cast<uint32_t>(run.param.nMismatchLimit);
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        write.m_strName[i] = run.arrDrives[i].strName;
        write.m_nRow[i] = run.arrDrives[i].nSlot;
    }
    Register(&write, &compare);

    const std::vector<std::string> arrPaths = run.Paths();
    if (write.Run(static_cast<int>(arrPaths.size()), arrPaths.data(), run.param.szImagePath, run.nBlocks))
        LogInfo("%s DISK WRITE OK.\n", StampNow());
    else
        LogError("%s DISK WRITE FAILED.\n", StampNow());
    std::vector<bool> arrWritten(run.arrDrives.size());
    for (size_t i = 0; i < arrWritten.size(); ++i) arrWritten[i] = write.m_bReaderResult && write.m_Task[i].bResult;

    std::vector<int> arrPlace(run.arrDrives.size(), -1);
    if (g_bOptVerify) arrPlace = VerifyWritten(run, compare, arrWritten);
    SummaryLines(run, write, compare, arrWritten, arrPlace);

    if (g_bOptForceWrite) g_bOptForceVerify = bForceVerifyBefore;
    Register(nullptr, nullptr);
}
