#pragma once
// The job runner: one job of the main window (or of the command line) on
// a thread of its own. It stamps the start, publishes the job's options to
// the engines, passes the job through the pre-flight (a refused job ends
// there, every drive NG, nothing touched), locks and dismounts the volumes
// of the job's disks, runs the engines of the job kind, writes the result
// and summary lines (and the .md5sum file after a read), ejects or unlocks
// the volumes, posts every drive's verdict, plays the completion sound and
// stamps the end.
#include <cstdint>
#include <mutex>

#include "jobs/job_runner_param.h"

class CDiskToImage;
class CImageToDisk;
class CCompareDiskImage;
class CEraseDisk;

// The job lock: it guards the engine registrations, so that an abort never
// meets an engine that is being destroyed.
extern std::mutex g_csDumpTask;
extern CDiskToImage* g_pDiskToImage;
extern CImageToDisk* g_pImageToDisk;
extern CCompareDiskImage* g_pCompareDiskImage;
extern CEraseDisk* g_pEraseDisk;

// The thread procedure: runs the job, then posts uMsgEnd (wParam 0, lParam
// the result) when there is a window. Returns the result.
int32_t DumpTaskThread(T_DUMPTASK_PARAM* pParam);
// Runs one job and returns when it has ended: 0 for a job of a known kind,
// whatever its outcome (each drive's verdict travels in uMsgError, the
// details in the log); -1 for an unknown kind.
int32_t RunDumpTask(T_DUMPTASK_PARAM* pParam);
// Makes the registered engines stop as soon as they can, and the job's
// pre-flight where it reads an image's tail; the job then ends as a failed
// one. A drive transfer of the job that has waited a second or
// more is told to give up, where the platform can end it (Windows); where
// it cannot (Linux), the job thread waits on until the drive answers. With
// no engine registered it does nothing more, so a caller repeats it until
// the job thread has ended. Never waits.
void AbortDumpTask();
