#pragma once
// What a job hands an engine's Run, and what Run hands back. The engine
// copies the job when its run begins; nothing a caller changes afterwards
// reaches it. The result is a plain value: one entry per drive of the job,
// in the job's order, and the run's own verdict.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/core/job_options.h"
#include "engine/core/md5.h"
#include "engine/core/notify.h"
#include "engine/core/tick.h"

class IDeviceProvider;
class IPrompt;

// How a thread is started: std::thread unless a front end starts its
// threads its own way, or a test makes a start fail (std::system_error).
using PFN_START_THREAD = std::function<std::thread(std::function<void()>)>;

// Where an engine reports to and what it opens with.
struct T_ENGINE_WIRING {
    INotifyTarget* pNotify = nullptr;  // the window (or queue) of the job; null: nothing is posted
    uint32_t uProgressMsg = DEFAULT_PROGRESS_MSG;
    uint32_t uErrorMsg = DEFAULT_ERROR_MSG;  // a drive failed: wParam 0, lParam the drive's row
    uint32_t dwInterval = 1000;              // milliseconds between two progress batches
    IDeviceProvider* pDevices = nullptr;     // where drives and images open; null: the platform's
    // The clock of the run: its elapsed time and the seeds that come from
    // it. Empty: GetTickCountMs.
    TTickSource fnTick;
    IPrompt* pPrompt = nullptr;  // who answers the engine's questions; null: nobody, which is No
    PFN_START_THREAD fnStartThread{};  // how the stage threads start; empty: std::thread
};

// One drive of the job.
struct T_ENGINE_DRIVE {
    std::string strPath;  // the device path it is opened with
    std::string strName;  // its display name in the log; empty: the path
    int nRow = 0;         // its row in the window, for progress and failure messages
};

// Every run builds its pool of at least this many blocks.
constexpr uint32_t MIN_POOL_BLOCKS = 16;

struct T_ENGINE_JOB {
    T_JOB_OPTIONS options;
    T_ENGINE_WIRING wiring;
    std::vector<T_ENGINE_DRIVE> arrDrives;  // 1 to 4 for the engines that take several
    std::string strImage;                   // the image file, for the engines that take one
    uint32_t nBlocks = 16;                  // pool blocks (1 MiB each); at least MIN_POOL_BLOCKS are used
    uint32_t nEraseMethod = 1;              // the erase method's id
    uint32_t nMismatchLimit = 100;          // a compare gives a drive up at this many differing 512-byte sectors
    // A compare that is the verify pass of a read or a write: the second
    // half of its job's progress.
    bool bVerifyPass = false;
    // A write computes the image's digests of this kind as it reads it: of
    // the file as it is and, for a compressed image, of its data. None: no
    // such digests.
    std::optional<EDigestKind> imageDigests;
};

// The image's own digests (T_ENGINE_JOB::imageDigests); each is valid only
// when its flag is set.
struct T_IMAGE_DIGESTS {
    bool bFile = false;  // of the image file's bytes, all of them
    T_DIGEST_VALUE file;
    bool bData = false;  // of a compressed image's data, all of them
    T_DIGEST_VALUE data;
};

// What became of one drive.
enum class ESlotVerdict {
    NotRun,     // the run ended before this drive's work began (refused, no pool, stopped before)
    NotOpened,  // could not be opened, is no disk, or could not be measured: never touched
    Ok,         // its work was done in full
    WriteFailed,  // a unit could not be written or flushed, or the data to write ended too soon
    ReadFailed,   // a unit could not be read
    Differs,      // data read back differ from what they must be
    Stopped,      // the run stopped first: by an abort, or because something else failed
};

struct T_SLOT_RESULT {
    ESlotVerdict eVerdict = ESlotVerdict::NotRun;
    uint32_t dwError = 0;  // the last system error code met on this drive; 0 when none
    uint64_t nBytes = 0;   // bytes this drive's work went through (written or found equal, erased, ...)
    bool bDigest = false;  // a digest of the drive's data was computed
    T_MD5_DIGEST digest{};

    bool Ok() const { return eVerdict == ESlotVerdict::Ok; }
};

struct T_ENGINE_RESULT {
    bool bOk = false;      // the run's verdict, as Run returned it
    uint32_t dwError = 0;  // the system error code of the run's own side (the image); 0 when none
    uint64_t nTotal = 0;   // the length the run's work covers, once measured (a read: the drive's size)
    // A read's compressed image holds data whose member could not be ended
    // (the file system was full): it is no usable image.
    bool bImageUnfinished = false;
    bool bDigest = false;  // the digest of the data the run took in (the image's) is known
    T_MD5_DIGEST digest{};
    std::vector<T_SLOT_RESULT> arrSlots;  // one per drive of the job
    T_IMAGE_DIGESTS imageDigests;  // the image's digests, when the job asked for them

    // Drive i's digest equals the run's: both were computed and agree.
    bool DigestMatches(size_t i) const
    {
        return bDigest && i < arrSlots.size() && arrSlots[i].bDigest && arrSlots[i].digest == digest;
    }
};
