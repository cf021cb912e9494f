#pragma once
// Process-wide job options. The job runner (or a front end) writes them
// before an engine exists; the engines only read them while they run.
#include <cstdint>

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
extern bool g_bOptOverwrite;
// Threads that compress a compressed image; 0: as many as CompressThreads
// chooses for this machine.
extern uint32_t g_nOptCompressThreads;

// The agreement count of the unstable-media mode: 4 reads that agree.
constexpr int UNSTABLE_READ_AGREEMENT = 4;

// The most compression threads a job may ask for.
constexpr uint32_t MAX_COMPRESS_THREADS = 64;

// The compression threads of a job: the option when set, else one per core,
// leaving one core to the drive reader and the digest where there are more
// than two; never more than MAX_COMPRESS_THREADS.
uint32_t CompressThreads();
uint32_t DefaultCompressThreads(uint32_t nCores);

// Puts every option back to its start-up value (all off).
void ResetJobOptions();
