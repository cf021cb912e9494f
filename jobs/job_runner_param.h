#pragma once
// One job of the main window (or of the command line): what to do, to
// which drives, with which options. The front end fills it; the job runner
// only reads it, on its own thread, until the job has ended.
#include <cstdint>
#include <string>
#include <vector>

#include "drives/drive_kind.h"
#include "engine/codecs/image_format.h"
#include "engine/core/notify.h"

class IDeviceProvider;
class IJobInventory;
class IPrompt;
struct T_SYSTEM_PLACE;

// Job kinds.
constexpr int DUMPTASK_READ = 0;
constexpr int DUMPTASK_WRITE = 1;
constexpr int DUMPTASK_VERIFY = 2;
constexpr int DUMPTASK_ERASE = 3;

// A slot's drive is one of the drive kinds (DRIVE_KIND_DISK, ...), or a
// device path or a file (strDrivePath), for the command line and for tests:
// its display name is then the path, and it has no volumes.
constexpr uint32_t DRIVE_KIND_PATH = 0x7F00;

constexpr int DUMPTASK_SLOTS = 4;

// How the pre-flight's refusals name the drives and the front end's
// options. The window keeps the defaults: drives by their display names
// ("DISK #1 (E:)"), no option named. The command line names drives by the
// paths they are opened with and its options by their flags.
struct T_REFUSAL_WORDING {
    bool bDrivesByPath = false;
    std::string strLeaveMounted;  // "give --share-read to leave its volumes mounted"; empty: not said
    std::string strForceWrite;    // "--force-write"; empty: not said
};

// What a read job leaves for its front end beside the log: how much of the
// drive reached the image (a stopped read's image is incomplete).
struct T_DUMPTASK_REPORT {
    uint64_t nDriveBytes = 0;  // the drive's size; 0 when it was never measured
    uint64_t nImageBytes = 0;  // how many of its bytes the image holds
    bool bImageUnfinished = false;  // a compressed image whose member could not be ended: no usable image
};

struct T_DUMPTASK_PARAM {
    T_DUMPTASK_PARAM() = default;
    virtual ~T_DUMPTASK_PARAM() = default;
    T_DUMPTASK_PARAM(const T_DUMPTASK_PARAM&) = default;
    T_DUMPTASK_PARAM& operator=(const T_DUMPTASK_PARAM&) = default;

    INotifyTarget* hWnd = nullptr;  // null: no messages
    uint32_t uMsgProgress = DEFAULT_PROGRESS_MSG;
    uint32_t uMsgLog = DEFAULT_LOG_MSG;
    uint32_t uMsgError = DEFAULT_ERROR_MSG;
    uint32_t uMsgEnd = 0x403;
    int nTask = DUMPTASK_READ;
    std::string szImagePath;
    int nBufferMiB = 16;
    uint32_t dwInterval = 1000;
    bool bVerify = false;
    bool bEject = false;
    bool bShareRead = false;
    bool bForceWrite = false;
    bool bForceVerify = false;
    bool bSharedWrite = false;
    bool bCompareAfterWrite = false;
    bool bMD5Verify = false;
    bool bUnstableRead = false;
    int nUnstableReadCount = 0;
    bool bMakeMD5SUM = false;
    // A read writes a gzip image; a write or a verify reads one.
    bool bCompressImage = false;
    // The format of the image when it is not gzip: a read's (raw or zstd),
    // a write's or a verify's (DecideJobImageFormat, job_preflight.h, sets
    // both).
    EImageFormat eImageFormat = EImageFormat::Raw;
    uint32_t nCompressThreads = 0;  // a compressed read's threads; 0: the machine's default
    std::string strCheckFile;  // a write: the digest file the image is checked against; empty: none
    int nCompressLevel = 0;         // a zstd read's level; 0: the default
    IJobInventory* pDriveInfo = nullptr;  // the drives' volumes and device paths
    uint32_t dwNoScanLetters = 0;
    uint32_t dwLockedLetters = 0;  // volumes the window holds locked: left alone
    int nMismatchLimit = -1;       // negative: the compare engine's own limit
    int nEraseMethod = 1;
    uint32_t nDriveKind[DUMPTASK_SLOTS] = {DRIVE_KIND_NONE, DRIVE_KIND_NONE, DRIVE_KIND_NONE, DRIVE_KIND_NONE};
    int nDriveNumber[DUMPTASK_SLOTS] = {-1, -1, -1, -1};
    // The path of a DRIVE_KIND_PATH slot.
    std::string strDrivePath[DUMPTASK_SLOTS];
    // Where drives, volumes and the image are opened; null: the platform's.
    IDeviceProvider* pDevices = nullptr;
    // Who answers the read's question about replacing an existing image;
    // null: the platform's.
    IPrompt* pPrompt = nullptr;
    // Where the running system lives, for the job's pre-flight; null: this
    // machine's places, looked up when the job starts.
    const std::vector<T_SYSTEM_PLACE>* pSystemPlaces = nullptr;
    // How the pre-flight's refusals speak to the operator.
    T_REFUSAL_WORDING wording;
    // Filled by a read job when not null; the front end owns it.
    T_DUMPTASK_REPORT* pReport = nullptr;
};
