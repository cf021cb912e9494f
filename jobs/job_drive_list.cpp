// The drive list of a job: one entry per occupied slot, with the path the
// drive is opened with and the name the log shows ("DISK #1 (E:, F:)");
// and the job as the engines take it.
#include "engine/core/format.h"
#include "jobs/job_inventory.h"
#include "jobs/job_run.h"

namespace {

// The Windows device path of a drive, for a job without an inventory.
std::string WindowsDrivePath(uint32_t nKind, int nNumber)
{
    switch (nKind) {
    case DRIVE_KIND_DISK: return FormatText("\\\\.\\PhysicalDrive%d", nNumber);
    case DRIVE_KIND_CDROM: return FormatText("\\\\.\\CDROM%d", nNumber);
    case DRIVE_KIND_FLOPPY: return FormatText("\\\\.\\%c:", static_cast<unsigned>('A' + nNumber));
    default: return {};
    }
}

std::string BaseName(uint32_t nKind, int nNumber)
{
    switch (nKind) {
    case DRIVE_KIND_DISK: return FormatText("DISK #%d", nNumber);
    case DRIVE_KIND_CDROM: return FormatText("CDROM #%d", nNumber);
    case DRIVE_KIND_FLOPPY: return FormatText("FLOPPY #%d:", nNumber);
    default: return {};
    }
}

// " (E:, F:)" after the name when the drive has volumes.
std::string VolumeSuffix(const std::vector<T_JOB_VOLUME>& arrVolumes)
{
    if (arrVolumes.empty()) return {};
    std::string strSuffix = " (";
    for (size_t i = 0; i < arrVolumes.size(); ++i) strSuffix += (i ? ", " : "") + arrVolumes[i].strName;
    return strSuffix + ")";
}

}  // namespace

T_ENGINE_JOB T_JOB_RUN::EngineJob(const T_JOB_OPTIONS& engineOptions) const
{
    T_ENGINE_JOB job;
    job.options = engineOptions;
    job.wiring.pNotify = param.hWnd;
    job.wiring.uProgressMsg = param.uMsgProgress;
    job.wiring.uErrorMsg = param.uMsgError;
    job.wiring.dwInterval = param.dwInterval;
    job.wiring.pDevices = &devices;
    job.wiring.pPrompt = param.pPrompt;
    for (const T_JOB_DRIVE& drive : arrDrives) job.arrDrives.push_back(T_ENGINE_DRIVE{drive.strPath, drive.strName, drive.nSlot});
    job.strImage = param.szImagePath;
    job.nBlocks = nBlocks;
    job.nEraseMethod = static_cast<uint32_t>(param.nEraseMethod);
    if (param.nMismatchLimit >= 0) job.nMismatchLimit = static_cast<uint32_t>(param.nMismatchLimit);
    return job;
}

void BuildDriveList(T_JOB_RUN& run)
{
    const T_DUMPTASK_PARAM& param = run.param;
    for (int nSlot = 0; nSlot < DUMPTASK_SLOTS; ++nSlot) {
        const uint32_t nKind = param.nDriveKind[nSlot];
        const int nNumber = param.nDriveNumber[nSlot];
        if (nNumber < 0) continue;
        T_JOB_DRIVE drive{nSlot, nKind, nNumber, {}, {}};
        if (nKind == DRIVE_KIND_PATH) {
            drive.strPath = drive.strName = param.strDrivePath[nSlot];
        } else {
            IJobInventory* pInventory = param.pDriveInfo;
            drive.strPath = pInventory ? pInventory->GetDrivePath(nKind, nNumber) : WindowsDrivePath(nKind, nNumber);
            drive.strName = BaseName(nKind, nNumber);
            if (pInventory) drive.strName += VolumeSuffix(pInventory->GetDriveVolumes(nKind, nNumber));
        }
        run.arrDrives.push_back(drive);
    }
    run.arrResult.assign(run.arrDrives.size(), false);
}
