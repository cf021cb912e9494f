#pragma once
// The options of one job, as one value. The job runner makes it once per
// job and hands it to every engine it runs; an engine copies it when its
// Run begins and reads nothing else. A job that runs a second engine with
// other options (a write's verify pass) hands that engine another value.
//
// The g_bOpt* globals below are the published snapshot of the running
// job's options: only the job runner writes them, once when a job starts
// (PublishJobOptions). No engine reads them: each takes the value.
#include <cstdint>
#include <string>

#include "engine/codecs/image_format.h"

struct T_JOB_OPTIONS {
    bool bVerify = false;             // a compare with the image follows the read or the write
    bool bEject = false;              // the drives' media are ejected after a good job
    bool bShareRead = false;          // a drive is read while others may use it
    bool bForceWrite = false;         // an image whose size differs from the drive's is written all the same
    bool bForceVerify = false;        // an image longer than the drive is compared over the drive's length
    bool bSharedWrite = false;        // a drive is written without holding it alone
    bool bCompareAfterWrite = false;  // write and erase skip the units the drive already holds
    bool bMD5Verify = false;          // a written drive is read back for its MD5 digest
    bool bUnstableRead = false;       // a block counts only when several reads agree
    int nUnstableReadCount = 0;       // how many reads must agree
    bool bMakeMD5SUM = false;         // a read leaves a .md5sum file beside the image
    bool bCompressImage = false;      // the image is a gzip one (.gmz)
    // The format of the image when it is not gzip: raw or zstd for a read
    // (which writes no other), also xz, bzip2 or zip for the image a write
    // or a verify reads (ImageFormatOf).
    EImageFormat eImageFormat = EImageFormat::Raw;
    bool bOverwrite = false;          // an existing image is replaced without asking
    uint32_t nCompressThreads = 0;    // threads that compress; 0: CompressThreads chooses
    // A write checks the image's digest (of the file as it is, or of its
    // data) against the one this digest file holds; empty: no check.
    std::string strCheckFile;
    int nCompressLevel = 0;           // a zstd image's level; 0: the default
};

extern bool g_bOptVerify;
extern bool g_bOptEject;
extern bool g_bOptShareRead;
extern bool g_bOptForceWrite;
extern bool g_bOptForceVerify;
extern bool g_bOptSharedWrite;
extern bool g_bOptCompareAfterWrite;
extern bool g_bOptMD5Verify;
extern bool g_bOptUnstableRead;
extern int g_nUnstableReadCount;
extern bool g_bOptMakeMD5SUM;
extern bool g_bOptCompressImage;
extern EImageFormat g_eOptImageFormat;
extern bool g_bOptOverwrite;
// Threads that compress a compressed image; 0: as many as CompressThreads
// chooses for this machine.
extern uint32_t g_nOptCompressThreads;
// The digest file a write checks the image against; empty: none.
extern std::string g_strOptCheckFile;
// A zstd image's level; 0: the default.
extern int g_nOptCompressLevel;

// The format of the image a read writes, or a write or a verify reads:
// gzip when the compress option is on, else the options' format.
EImageFormat ImageFormatOf(const T_JOB_OPTIONS& options);
// That image is compressed: its data length shows only by decoding it.
bool ImageIsCompressed(const T_JOB_OPTIONS& options);

// Sets the snapshot to these options.
void PublishJobOptions(const T_JOB_OPTIONS& options);
// The snapshot as one value.
T_JOB_OPTIONS PublishedJobOptions();
// Puts every option back to its start-up value (all off).
void ResetJobOptions();

// The agreement count of the unstable-media mode: 4 reads that agree.
constexpr int UNSTABLE_READ_AGREEMENT = 4;

// The most compression threads a job may ask for.
constexpr uint32_t MAX_COMPRESS_THREADS = 64;

// The compression threads of a job: nOption when set, else one per core,
// leaving one core to the drive reader and the digest where there are more
// than two; never more than MAX_COMPRESS_THREADS.
uint32_t CompressThreads(uint32_t nOption);
uint32_t DefaultCompressThreads(uint32_t nCores);

// The levels of a zstd image.
constexpr int MIN_ZSTD_LEVEL = 1;
constexpr int MAX_ZSTD_LEVEL = 19;
constexpr int DEFAULT_ZSTD_LEVEL = 3;
// A zstd image's level: nOption when set, else DEFAULT_ZSTD_LEVEL.
int ZstdLevel(int nOption);
// libzstd's worker threads for a zstd image: nOption when set, else one
// per core; never more than MAX_COMPRESS_THREADS.
uint32_t ZstdWorkers(uint32_t nOption);
