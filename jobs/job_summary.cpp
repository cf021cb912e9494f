// The result stamps and the per-drive summary lines of a job.
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
