// The result stamps and the per-drive summary lines of a job.
#include <algorithm>

#include "engine/core/log.h"
#include "jobs/date_time.h"
#include "jobs/job_run.h"

std::string StampNow()
{
    CDateTime now;
    now.SetNow();
    return now.Format("%04Y/%02M/%02D %02h:%02m:%02s");
}

void SummaryStart(const T_JOB_DRIVE& drive)
{
    LogInfo("  %s - ", drive.strName);
}

void SummaryVerdict(const char* pszFormat, bool bOk)
{
    LogPost(bOk ? LOG_STYLE_OK : LOG_STYLE_NG, pszFormat, bOk ? "OK" : "NG");
}

void SummaryText(const char* pszText)
{
    LogInfo("%s", pszText);
}

void SummaryRefused(const T_JOB_RUN& run)
{
    static const char* const FIRST[] = {"GRAVELMOOR=%s", "DISK WRITE=%s", "VERIFY=%s", "ERASE=%s"};
    const int nTask = run.param.nTask;
    const char* pszThen = "\n";
    if (nTask == DUMPTASK_WRITE && run.param.bMD5Verify) pszThen = ", MD5SUM CHECK=--\n";
    else if ((nTask == DUMPTASK_READ || nTask == DUMPTASK_WRITE) && run.param.bVerify) pszThen = ", VERIFY=--\n";
    const size_t nDrives = nTask == DUMPTASK_READ ? std::min<size_t>(run.arrDrives.size(), 1) : run.arrDrives.size();
    for (size_t i = 0; i < nDrives; ++i) {
        SummaryStart(run.arrDrives[i]);
        SummaryVerdict(FIRST[nTask], false);
        SummaryText(pszThen);
    }
}
