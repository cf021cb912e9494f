// The verify job: every drive of the job compared with the image.
#include <mutex>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/log.h"
#include "jobs/dump_task.h"
#include "jobs/job_run.h"

void RunVerifyJob(T_JOB_RUN& run)
{
    CCompareDiskImage compare;
    WireJobEngine(compare, run);
    if (run.param.nMismatchLimit >= 0) compare.m_nMismatchLimit = static_cast<uint32_t>(run.param.nMismatchLimit);
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        compare.m_strName[i] = run.arrDrives[i].strName;
        compare.m_nRow[i] = run.arrDrives[i].nSlot;
    }
    {
        std::lock_guard<std::mutex> lock(g_csDumpTask);
        g_pCompareDiskImage = &compare;
    }
    if (compare.Run(run.Paths(), run.param.szImagePath, run.nBlocks)) LogInfo("%s VERIFY OK.\n", StampNow());
    else LogError("%s VERIFY NG.\n", StampNow());
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        run.arrResult[i] = compare.m_compTask[i].nResult != 0;
        SummaryStart(run.arrDrives[i]);
        SummaryVerdict("VERIFY=%s\n", run.arrResult[i]);
    }
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    g_pCompareDiskImage = nullptr;
}
