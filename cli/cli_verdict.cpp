#include "cli/cli_verdict.h"

#include <algorithm>

#include "engine/compare/compare_disk_image.h"
#include "engine/core/log.h"
#include "engine/erase/erase_disk.h"
#include "engine/write/image_to_disk.h"

std::string VerdictText(EVerdict eVerdict)
{
    switch (eVerdict) {
    case EVerdict::Ok: return "OK";
    case EVerdict::WriteFailed: return "NG (write failed)";
    case EVerdict::VerifyMismatch: return "NG (verify mismatch)";
    case EVerdict::VerifyFailed: return "NG (verify failed)";
    case EVerdict::Md5Mismatch: return "NG (MD5 mismatch)";
    case EVerdict::Stopped: return "NG (stopped)";
    case EVerdict::NotFinished: return "NG (not finished: another drive failed)";
    }
    return "NG";
}

void LogVerdicts(const std::vector<T_DRIVE_VERDICT>& arrVerdicts)
{
    for (const T_DRIVE_VERDICT& verdict : arrVerdicts) {
        LogInfo("  %s - ", verdict.strDrive);
        LogPost(verdict.eVerdict == EVerdict::Ok ? LOG_STYLE_OK : LOG_STYLE_NG, "%s\n", VerdictText(verdict.eVerdict));
    }
}

bool EveryDriveOk(const std::vector<T_DRIVE_VERDICT>& arrVerdicts)
{
    return !arrVerdicts.empty() && std::all_of(arrVerdicts.begin(), arrVerdicts.end(),
                       [](const T_DRIVE_VERDICT& v) { return v.eVerdict == EVerdict::Ok; });
}

bool WasWritten(const CImageToDisk& writer, size_t i)
{
    return writer.m_bReaderResult && writer.m_Task[i].bActive && writer.m_Task[i].bResult;
}

// A drive that could be read but did not match (differences to the end,
// too many of them, a length that differs) is a mismatch; a drive that
// could not be opened or read, or an image that could not be read, is a
// failure.
EVerdict CompareVerdict(const CCompareDiskImage& compare, size_t i, bool bStopped)
{
    const auto& read = compare.m_diskRead[i];
    const auto& task = compare.m_compTask[i];
    if (compare.m_fileRead.bSuccess && task.bActive && read.bSuccess && task.nResult == 1) return EVerdict::Ok;
    if (bStopped) return EVerdict::Stopped;
    if (!task.bActive || read.bFailed || compare.m_fileRead.dwError != 0) return EVerdict::VerifyFailed;
    return EVerdict::VerifyMismatch;
}

// A drive that failed itself says how; one that the run stopped did not
// finish, because of the operator or of another drive; one the run never
// reached (it ended before its passes began) was not erased.
EVerdict EraseVerdict(const CEraseDisk& erase, size_t i, bool bStopped)
{
    const CEraseDisk::T_DISKTASK_INFO& t = erase.m_Task[i];
    if (t.bActive && t.bResult) return EVerdict::Ok;
    switch (t.eFailure.load()) {
    case EEraseFailure::Read: return EVerdict::VerifyFailed;
    case EEraseFailure::Mismatch: return EVerdict::VerifyMismatch;
    case EEraseFailure::Stopped: return bStopped ? EVerdict::Stopped : EVerdict::NotFinished;
    case EEraseFailure::None: return bStopped ? EVerdict::Stopped : EVerdict::WriteFailed;
    default: return EVerdict::WriteFailed;
    }
}
