#pragma once
// Process-wide job options. The job runner (or a front end) writes them
// before an engine exists; the engines only read them while they run.

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

// The agreement count of the unstable-media mode: 4 reads that agree.
constexpr int UNSTABLE_READ_AGREEMENT = 4;

// Puts every option back to its start-up value (all off).
void ResetJobOptions();
