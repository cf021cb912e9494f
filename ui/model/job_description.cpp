// The window's job description and its buffer size.
#include "ui/model/job_description.h"

#include <algorithm>

#include "drives/settings_keys.h"
#include "jobs/job_preflight.h"
#include "ui/model/row_state.h"

namespace {

void FillOptions(T_DUMPTASK_PARAM& param, const T_WINDOW_OPTIONS& options, bool bZlibLoaded)
{
    param.bVerify = options.bVerify;
    param.bEject = options.bEject;
    param.bShareRead = options.bShareRead;
    param.bForceWrite = options.bForceWrite;
    param.bForceVerify = options.bForceVerify;
    param.bSharedWrite = false;
    param.bCompareAfterWrite = options.bCompareAfterWrite;
    param.bMD5Verify = options.bMD5Verify;
    param.bUnstableRead = options.bUnstableRead;
    param.nUnstableReadCount = options.bUnstableRead ? UNSTABLE_READ_COUNT : 0;
    param.bMakeMD5SUM = options.bMakeMD5SUM;
    param.bCompressImage = options.bCompressImage && bZlibLoaded;
}

void FillDrives(T_DUMPTASK_PARAM& param, const std::array<T_JOB_ROW, ROW_COUNT>& rows)
{
    for (int r = 0; r < ROW_COUNT; ++r) {
        param.nDriveKind[r] = DRIVE_KIND_NONE;
        param.nDriveNumber[r] = -1;
        param.strDrivePath[r].clear();
        const T_JOB_ROW& row = rows[static_cast<size_t>(r)];
        if (!row.bDriveBoxEnabled || !row.bHasDrive) continue;
        param.nDriveKind[r] = row.nKind;
        param.nDriveNumber[r] = static_cast<int>(row.nNumber);
    }
}

}  // namespace

EFormatAsk WindowFormatAsk(const std::string& strImagePath, bool bCompressBox)
{
    const std::optional<EImageFormat> ePromised = FormatPromisedByName(strImagePath);
    if (ePromised && *ePromised != EImageFormat::Gzip) return EFormatAsk::ByName;
    return bCompressBox ? EFormatAsk::Gzip : EFormatAsk::Raw;
}

T_DUMPTASK_PARAM BuildJobDescription(const T_JOB_REQUEST& request)
{
    T_DUMPTASK_PARAM param;
    param.hWnd = request.pWindow;
    param.uMsgProgress = WM_ENGINE_PROGRESS;
    param.uMsgLog = WM_ENGINE_LOG;
    param.uMsgError = WM_USER_ERROR;
    param.uMsgEnd = WM_DUMPTASK_END;
    param.nBufferMiB = request.nBufferMiB;
    param.nCompressThreads = request.nCompressThreads;
    param.dwInterval = WINDOW_PROGRESS_INTERVAL_MS;
    FillOptions(param, request.options, request.bZlibLoaded);
    param.pDriveInfo = request.pDriveInfo;
    param.dwNoScanLetters = request.dwNoScanLetters;
    param.dwLockedLetters = request.dwLockedLetters;
    param.nEraseMethod = static_cast<int>(request.nEraseMethod);
    FillDrives(param, request.rows);
    param.szImagePath = request.strImagePath;
    param.nTask = request.nTask;
    param.pDevices = request.pDevices;
    DecideJobImageFormat(param, WindowFormatAsk(param.szImagePath, param.bCompressImage));
    return param;
}

void RowStatesForJob(const T_DUMPTASK_PARAM& param, std::array<uint32_t, ROW_COUNT>& nState)
{
    for (size_t r = 0; r < ROW_COUNT; ++r) {
        if (param.nDriveNumber[r] != -1) nState[r] = RowStateAtStart(param.nTask);
    }
}

int32_t JobBufferMiB(int32_t nBufferMiB, const T_MEMORY_STATUS& memory)
{
    int64_t nMiB = nBufferMiB;
    if (memory.bKnown) {
        const uint64_t nAvail = std::min(memory.nAvailPhys, memory.nAvailVirtual);
        const auto nUsable = static_cast<int64_t>(static_cast<double>(nAvail >> 20) * 0.75);
        nMiB = std::min(nMiB, nUsable);
    }
    return static_cast<int32_t>(std::max<int64_t>(nMiB, BUFFER_MIB_MIN));
}
