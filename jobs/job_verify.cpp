// The verify job: every drive of the job compared with the image.
#include <mutex>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/log.h"
#include "jobs/job_runner.h"
#include "jobs/job_run.h"

void RunVerifyJob(T_JOB_RUN& run)
{
    CCompareDiskImage compare;
    {
        std::lock_guard<std::mutex> lock(g_csDumpTask);
        g_pCompareDiskImage = &compare;
    }
    const T_ENGINE_RESULT result = compare.Run(run.EngineJob(run.options));
    if (result.bOk) LogInfo("%s VERIFY OK.\n", StampNow());
    else LogError("%s VERIFY NG.\n", StampNow());
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        run.arrResult[i] = result.arrSlots[i].Ok();
        SummaryStart(run.arrDrives[i]);
        SummaryVerdict("VERIFY=%s\n", run.arrResult[i]);
    }
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    g_pCompareDiskImage = nullptr;
}
