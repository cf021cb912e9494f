// The erase job: every drive of the job erased with the job's method.
#include <mutex>

#include "engine/core/log.h"
#include "engine/erase/erase_disk.h"
#include "jobs/dump_task.h"
#include "jobs/job_run.h"

void RunEraseJob(T_JOB_RUN& run)
{
    CEraseDisk erase;
    WireJobEngine(erase, run);
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        erase.m_strName[i] = run.arrDrives[i].strName;
        erase.m_nRow[i] = run.arrDrives[i].nSlot;
    }
    {
        std::lock_guard<std::mutex> lock(g_csDumpTask);
        g_pEraseDisk = &erase;
    }
    const std::vector<std::string> arrPaths = run.Paths();
    if (erase.Run(static_cast<int>(arrPaths.size()), arrPaths.data(), run.param.nEraseMethod, run.nBlocks))
        LogInfo("%s ERASE OK.\n", StampNow());
    else
        LogError("%s ERASE NG.\n", StampNow());
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        run.arrResult[i] = erase.m_Task[i].bResult;
        SummaryStart(run.arrDrives[i]);
        SummaryVerdict("ERASE=%s\n", run.arrResult[i]);
    }
    std::lock_guard<std::mutex> lock(g_csDumpTask);
    g_pEraseDisk = nullptr;
}
