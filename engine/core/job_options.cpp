#include "engine/core/job_options.h"

#include <algorithm>
#include <thread>

bool g_bOptVerify = false;
bool g_bOptEject = false;
bool g_bOptShareRead = false;
bool g_bOptForceWrite = false;
bool g_bOptForceVerify = false;
bool g_bOptSharedWrite = false;
bool g_bOptCompareAfterWrite = false;
bool g_bOptMD5Verify = false;
bool g_bOptUnstableRead = false;
int g_nUnstableReadCount = 0;
bool g_bOptMakeMD5SUM = false;
bool g_bOptCompressImage = false;
bool g_bOptOverwrite = false;
uint32_t g_nOptCompressThreads = 0;

void ResetJobOptions()
{
    g_bOptVerify = false;
    g_bOptEject = false;
    g_bOptShareRead = false;
    g_bOptForceWrite = false;
    g_bOptForceVerify = false;
    g_bOptSharedWrite = false;
    g_bOptCompareAfterWrite = false;
    g_bOptMD5Verify = false;
    g_bOptUnstableRead = false;
    g_nUnstableReadCount = 0;
    g_bOptMakeMD5SUM = false;
    g_bOptCompressImage = false;
    g_bOptOverwrite = false;
    g_nOptCompressThreads = 0;
}

uint32_t DefaultCompressThreads(uint32_t nCores)
{
    const uint32_t nThreads = nCores > 2 ? nCores - 1 : std::max<uint32_t>(nCores, 1);
    return std::min(nThreads, MAX_COMPRESS_THREADS);
}

uint32_t CompressThreads()
{
    if (g_nOptCompressThreads > 0) return std::min(g_nOptCompressThreads, MAX_COMPRESS_THREADS);
    return DefaultCompressThreads(std::thread::hardware_concurrency());
}
