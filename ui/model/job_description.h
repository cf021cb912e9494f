#pragma once
// The job description the window hands to the job runner, built from what
// the window shows when a job button is pressed: the drives of the rows
// whose drive box can be used, the image path, the option boxes, the
// buffer size, the erase method and the volumes the window holds locked.
// The command line fills the same structure.
#include <array>
#include <cstdint>
#include <string>

#include "engine/codecs/image_format.h"
#include "jobs/job_runner_param.h"
#include "ui/model/control_ids.h"
#include "ui/model/window_settings.h"

// How often a job's engines report progress, in milliseconds.
constexpr uint32_t WINDOW_PROGRESS_INTERVAL_MS = 250;
// Reads from unstable media are accepted after this many equal reads.
constexpr int UNSTABLE_READ_COUNT = 4;

struct T_JOB_ROW {
    bool bDriveBoxEnabled = false;  // the row is checked (and no job runs)
    bool bHasDrive = false;         // the drive box selects an entry
    uint32_t nKind = DRIVE_KIND_NONE;
    uint32_t nNumber = 0;
};

struct T_JOB_REQUEST {
    int nTask = DUMPTASK_READ;
    std::array<T_JOB_ROW, ROW_COUNT> rows;
    std::string strImagePath;
    T_WINDOW_OPTIONS options;
    bool bZlibLoaded = false;
    int32_t nBufferMiB = 16;  // already fitted to the free memory
    uint32_t nCompressThreads = 0;  // the settings' compression threads; 0: the default
    uint32_t nEraseMethod = 1;  // the method id of the erase dialog's choice
    uint32_t dwNoScanLetters = 0;  // the settings' no-scan mask
    uint32_t dwLockedLetters = 0;  // the letters whose volumes the window holds
    INotifyTarget* pWindow = nullptr;
    IJobInventory* pDriveInfo = nullptr;
    IDeviceProvider* pDevices = nullptr;  // where the image is looked at; null: the platform's
};

// The image's format (a read's, a write's, a verify's, the checksum's) as
// the window asks for it: the one its name promises when that is xz, zstd,
// bzip2 or zip; else gzip when the compress box is checked (and usable),
// raw when not.
EFormatAsk WindowFormatAsk(const std::string& strImagePath, bool bCompressBox);

// The description; the image's format is decided from the image's name
// (and, for a write and a verify, its first bytes: DecideJobImageFormat).
T_DUMPTASK_PARAM BuildJobDescription(const T_JOB_REQUEST& request);

// The rows' state words once the job has started: every row with a drive
// in the job is busy with the job's kind; the others keep their word.
void RowStatesForJob(const T_DUMPTASK_PARAM& param, std::array<uint32_t, ROW_COUNT>& nState);

// The machine's memory as the window finds it before a job.
struct T_MEMORY_STATUS {
    bool bKnown = false;  // false: the question failed
    uint64_t nAvailPhys = 0;     // bytes
    uint64_t nAvailVirtual = 0;  // bytes
};

// The memory a job's blocks may take, in MiB (one 1 MiB block each): the
// limit of the settings ("Buffer"), lowered to three quarters of the
// memory available now, and never below the 16 blocks every engine needs.
int32_t JobBufferMiB(int32_t nBufferMiB, const T_MEMORY_STATUS& memory);
