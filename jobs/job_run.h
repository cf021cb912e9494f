#pragma once
// The working data of one job run, on the job thread's stack: the job's
// options, the drive list, the volume list and the drives' result flags.
// Nothing outlives the run. The steps of a run (drive list, volumes, job
// kinds, summary lines) share it.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/job_options.h"
#include "engine/device/device.h"
#include "engine/run/engine_job.h"
#include "jobs/job_runner_param.h"

// One drive of the job, in slot order.
struct T_JOB_DRIVE {
    int nSlot = 0;        // the window row
    uint32_t nKind = DRIVE_KIND_NONE;
    int nNumber = -1;
    std::string strPath;  // the device path it is opened with
    std::string strName;  // "DISK #1 (E:, F:)"
};

// One volume on a disk of the job.
struct T_VOLUME_LOCK {
    std::string szPath;               // "\\.\E:", "/dev/sdb1"
    std::unique_ptr<IDevice> hVolume; // null when not open
    bool bLocked = false;             // this run locked the volume
    size_t nDrive = 0;                // the owning drive's index in the drive list
};

constexpr size_t MAX_JOB_VOLUMES = 26;

struct T_JOB_RUN {
    const T_DUMPTASK_PARAM& param;
    IDeviceProvider& devices;
    T_JOB_OPTIONS options;  // taken from the published snapshot when the job starts
    std::vector<T_JOB_DRIVE> arrDrives;
    std::vector<T_VOLUME_LOCK> arrVolumes;
    std::vector<bool> arrResult;  // one per drive, false at the start
    uint32_t nBlocks = 16;
    T_DIGEST_VALUE checkDigest;  // a write with a digest file: the digest the pre-flight read from it

    // The job as an engine takes it: these options, the window, ids,
    // interval, devices and prompt of the job, every drive of the list with
    // its name and row, the image, the block count, the erase method and
    // the mismatch limit.
    T_ENGINE_JOB EngineJob(const T_JOB_OPTIONS& engineOptions) const;
};

// Steps of a run (job_drive_list.cpp, job_volumes.cpp, job_preflight.cpp).
void BuildDriveList(T_JOB_RUN& run);
void BuildVolumeList(T_JOB_RUN& run);
// The pre-flight over the run's drives, volumes and image, with its lines
// logged; true when the job may start. bStop ends it early (the job is then
// refused with nothing said).
// A write's digest file is read here: run.checkDigest is the digest it holds.
bool PassPreflight(T_JOB_RUN& run, const std::atomic<bool>& bStop);
void LockVolumes(T_JOB_RUN& run);
void ReleaseVolumes(T_JOB_RUN& run);

// The job kinds (job_read.cpp, job_write.cpp, job_verify.cpp, job_erase.cpp).
void RunReadJob(T_JOB_RUN& run);
void RunWriteJob(T_JOB_RUN& run);
void RunVerifyJob(T_JOB_RUN& run);
void RunEraseJob(T_JOB_RUN& run);

// Result and summary lines (job_summary.cpp). A stamp is the local time as
// "%04Y/%02M/%02D %02h:%02m:%02s".
std::string StampNow();
// "  DISK #1 (E:) - " in the info style.
void SummaryStart(const T_JOB_DRIVE& drive);
// One verdict item: "GRAVELMOOR=%s" with "OK" in the OK style or "NG" in
// the NG style.
void SummaryVerdict(const char* pszFormat, bool bOk);
// A separator or the line's end in the info style (", ", "VERIFY=--\n").
void SummaryText(const char* pszText);
// The summary lines of a job refused before it began: each drive NG in the
// job kind's first verdict, "--" for the check that would have followed.
void SummaryRefused(const T_JOB_RUN& run);
