// The volumes on the job's disks: locked and dismounted before the engines
// run, so that no file system writes to a disk while the job uses it, and
// ejected or unlocked afterwards. Volumes the window itself holds locked
// are left alone; CD-ROM and floppy volumes are never locked here.
#include <chrono>
#include <thread>

#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "jobs/job_inventory.h"
#include "jobs/job_ports.h"
#include "jobs/job_run.h"

namespace {

constexpr int OPEN_ATTEMPTS = 10;
constexpr int LOCK_ATTEMPTS = 10;
constexpr auto OPEN_PAUSE = std::chrono::milliseconds(100);
constexpr auto LOCK_PAUSE = std::chrono::milliseconds(10);

bool OpenVolume(T_JOB_RUN& run, T_VOLUME_LOCK& volume, uint32_t& nError)
{
    for (int nTry = 0; nTry < OPEN_ATTEMPTS; ++nTry) {
        volume.hVolume = run.devices.Open(volume.szPath, EOpenMode::Volume, nError);
        if (volume.hVolume) return true;
        std::this_thread::sleep_for(OPEN_PAUSE);
    }
    return false;
}

bool LockWithRetry(IDevice& volume, uint32_t& nError)
{
    for (int nTry = 0; nTry < LOCK_ATTEMPTS; ++nTry) {
        if (volume.LockVolume(nError)) return true;
        std::this_thread::sleep_for(LOCK_PAUSE);
    }
    return false;
}

void LockOne(T_JOB_RUN& run, T_VOLUME_LOCK& volume)
{
    LogInfo("Volume %s lock...", volume.szPath);
    uint32_t nError = 0;
    if (!OpenVolume(run, volume, nError)) {
        LogWarning("\nvolume %s open failed.\n%s\n", volume.szPath, GetSystemErrorText(nError));
        return;
    }
    if (!LockWithRetry(*volume.hVolume, nError)) {
        LogWarning("\nvolume %s lock failed.\n%s\n", volume.szPath, GetSystemErrorText(nError));
        volume.bLocked = false;
        return;
    }
    LogInfo("OK.\n");
    volume.bLocked = true;
    volume.hVolume->Flush(nError);
    LogInfo("Volume %s unmount...", volume.szPath);
    if (!volume.hVolume->DismountVolume(nError)) {
        LogWarning("\nvolume %s unmount failed.\n%s\n", volume.szPath, GetSystemErrorText(nError));
        return;
    }
    LogInfo("OK.\n");
    ShellNotifyMediaRemoved(volume.szPath);
}

// The end-of-job eject of a volume whose drive succeeded; true when the
// volume was dismounted (whether or not the eject itself worked).
bool EjectOne(T_VOLUME_LOCK& volume)
{
    LogInfo("Volume %s unmount...", volume.szPath);
    uint32_t nError = 0;
    if (!volume.hVolume->DismountVolume(nError) && nError != SystemError::NotReady()) {
        LogWarning("\nvolume %s unmount failed.\n%s\n", volume.szPath, GetSystemErrorText(nError));
        return false;
    }
    ShellNotifyMediaRemoved(volume.szPath);
    LogInfo("OK.\n");
    if (!volume.hVolume->AllowMediaRemoval(nError)) return true;
    LogInfo("Volume %s eject...", volume.szPath);
    if (volume.hVolume->EjectMedia(nError)) LogInfo("OK.\n");
    else LogError("failed.\n%s\n", GetSystemErrorText(nError));
    return true;
}

void UnlockOne(T_VOLUME_LOCK& volume)
{
    LogInfo("Volume %s unlock...", volume.szPath);
    uint32_t nError = 0;
    if (volume.hVolume->UnlockVolume(nError)) {
        ShellNotifyMediaInserted(volume.szPath);
        LogInfo("OK.\n");
    } else {
        LogError("failed.\n%s\n", GetSystemErrorText(nError));
    }
}

}  // namespace

void BuildVolumeList(T_JOB_RUN& run)
{
    IJobInventory* pInventory = run.param.pDriveInfo;
    if (pInventory == nullptr) return;
    for (size_t i = 0; i < run.arrDrives.size(); ++i) {
        const T_JOB_DRIVE& drive = run.arrDrives[i];
        if (drive.nKind != DRIVE_KIND_DISK) continue;
        for (const T_JOB_VOLUME& volume : pInventory->GetDriveVolumes(drive.nKind, drive.nNumber)) {
            const bool bHeldByWindow =
                volume.nLetter >= 0 && volume.nLetter < 26 && (run.param.dwLockedLetters >> volume.nLetter) & 1u;
            if (bHeldByWindow || run.arrVolumes.size() >= MAX_JOB_VOLUMES) continue;
            T_VOLUME_LOCK entry;
            entry.szPath = volume.strPath;
            entry.nDrive = i;
            run.arrVolumes.push_back(std::move(entry));
        }
    }
}

void LockVolumes(T_JOB_RUN& run)
{
    if (run.options.bShareRead) return;
    for (T_VOLUME_LOCK& volume : run.arrVolumes) LockOne(run, volume);
}

void ReleaseVolumes(T_JOB_RUN& run)
{
    for (T_VOLUME_LOCK& volume : run.arrVolumes) {
        if (!volume.hVolume) continue;
        bool bEjected = false;
        if (run.options.bEject && run.arrResult[volume.nDrive]) bEjected = EjectOne(volume);
        if (volume.bLocked && !bEjected) UnlockOne(volume);
        volume.hVolume.reset();
    }
}
