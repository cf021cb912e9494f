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
EImageFormat g_eOptImageFormat = EImageFormat::Raw;
bool g_bOptOverwrite = false;
uint32_t g_nOptCompressThreads = 0;
std::string g_strOptCheckFile;
int g_nOptCompressLevel = 0;

void PublishJobOptions(const T_JOB_OPTIONS& options)
{
    g_bOptVerify = options.bVerify;
    g_bOptEject = options.bEject;
    g_bOptShareRead = options.bShareRead;
    g_bOptForceWrite = options.bForceWrite;
    g_bOptForceVerify = options.bForceVerify;
    g_bOptSharedWrite = options.bSharedWrite;
    g_bOptCompareAfterWrite = options.bCompareAfterWrite;
    g_bOptMD5Verify = options.bMD5Verify;
    g_bOptUnstableRead = options.bUnstableRead;
    g_nUnstableReadCount = options.nUnstableReadCount;
    g_bOptMakeMD5SUM = options.bMakeMD5SUM;
    g_bOptCompressImage = options.bCompressImage;
    g_eOptImageFormat = options.eImageFormat;
    g_bOptOverwrite = options.bOverwrite;
    g_nOptCompressThreads = options.nCompressThreads;
    g_strOptCheckFile = options.strCheckFile;
    g_nOptCompressLevel = options.nCompressLevel;
}

T_JOB_OPTIONS PublishedJobOptions()
{
    T_JOB_OPTIONS options;
    options.bVerify = g_bOptVerify;
    options.bEject = g_bOptEject;
    options.bShareRead = g_bOptShareRead;
    options.bForceWrite = g_bOptForceWrite;
    options.bForceVerify = g_bOptForceVerify;
    options.bSharedWrite = g_bOptSharedWrite;
    options.bCompareAfterWrite = g_bOptCompareAfterWrite;
    options.bMD5Verify = g_bOptMD5Verify;
    options.bUnstableRead = g_bOptUnstableRead;
    options.nUnstableReadCount = g_nUnstableReadCount;
    options.bMakeMD5SUM = g_bOptMakeMD5SUM;
    options.bCompressImage = g_bOptCompressImage;
    options.eImageFormat = g_eOptImageFormat;
    options.bOverwrite = g_bOptOverwrite;
    options.nCompressThreads = g_nOptCompressThreads;
    options.strCheckFile = g_strOptCheckFile;
    options.nCompressLevel = g_nOptCompressLevel;
    return options;
}

EImageFormat ImageFormatOf(const T_JOB_OPTIONS& options)
{
    return options.bCompressImage ? EImageFormat::Gzip : options.eImageFormat;
}

bool ImageIsCompressed(const T_JOB_OPTIONS& options)
{
    return IsCompressedFormat(ImageFormatOf(options));
}

void ResetJobOptions()
{
    PublishJobOptions(T_JOB_OPTIONS{});
}

uint32_t DefaultCompressThreads(uint32_t nCores)
{
    const uint32_t nThreads = nCores > 2 ? nCores - 1 : std::max<uint32_t>(nCores, 1);
    return std::min(nThreads, MAX_COMPRESS_THREADS);
}

uint32_t CompressThreads(uint32_t nOption)
{
    if (nOption > 0) return std::min(nOption, MAX_COMPRESS_THREADS);
    return DefaultCompressThreads(std::thread::hardware_concurrency());
}

int ZstdLevel(int nOption)
{
    return nOption > 0 ? std::min(nOption, MAX_ZSTD_LEVEL) : DEFAULT_ZSTD_LEVEL;
}

uint32_t ZstdWorkers(uint32_t nOption)
{
    const uint32_t nWorkers = nOption > 0 ? nOption : std::max(std::thread::hardware_concurrency(), 1u);
    return std::min(nWorkers, MAX_COMPRESS_THREADS);
}
