// The erase job: every drive of the job erased with the job's method.
#include <mutex>

#include "engine/core/log.h"
#include "engine/erase/erase_disk.h"
#include "jobs/job_runner.h"
#include "jobs/job_run.h"

void RunEraseJob(T_JOB_RUN& run)
{
    CEraseDisk erase;
    {
        std::lock_guard<std::mutex> lock(g_csDumpTask);
        g_pEraseDisk = &erase;
    }
    const T_ENGINE_RESULT result = erase.Run(run.EngineJob(run.options));
    if (result.bOk)
        LogInfo("%s ERASE OK.\n", StampNow());
    else
        LogError("%s ERASE NG.\n", StampNow());
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        run.arrResult[i] = result.arrSlots[i].Ok();
        SummaryStart(run.arrDrives[i]);
        SummaryVerdict("ERASE=%s\n", run.arrResult[i]);
    }
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    g_pEraseDisk = nullptr;
}
