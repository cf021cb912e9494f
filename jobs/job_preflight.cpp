// The pre-flight's rules, its look at the drives and the image, and the
// job runner's pass through it.
#include "jobs/job_preflight.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/core/log.h"
#include "jobs/job_run.h"

namespace {

constexpr uint32_t READ = 1u << DUMPTASK_READ;
constexpr uint32_t WRITE = 1u << DUMPTASK_WRITE;
constexpr uint32_t VERIFY = 1u << DUMPTASK_VERIFY;
constexpr uint32_t ERASE = 1u << DUMPTASK_ERASE;

std::filesystem::path PathOfUtf8(const std::string& strUtf8)
{
    return std::filesystem::path(std::u8string(strUtf8.begin(), strUtf8.end()));
}

// The same object: each one's data are the other's (two names of one
// device or file, a loop device and its backing file), or, where the
// platform tells neither, two paths of one file.
bool IsSame(const T_STORAGE& a, const std::string& strA, const T_STORAGE& b, const std::string& strB)
{
    if (IsStoredOn(a, b) && IsStoredOn(b, a)) return true;
    if (!a.self.arrDevices.empty() || !a.self.arrFiles.empty()) return false;
    std::error_code ec;
    return std::filesystem::equivalent(PathOfUtf8(strA), PathOfUtf8(strB), ec) && !ec;
}

bool Writes(int nTask)
{
    return nTask == DUMPTASK_WRITE || nTask == DUMPTASK_ERASE;
}

// "; give --share-read to leave its volumes mounted", or nothing.
std::string LeaveMounted(const T_PREFLIGHT_JOB& job)
{
    return job.strLeaveMounted.empty() ? std::string() : "; " + job.strLeaveMounted;
}

bool RefuseRepeatedDrives(const T_PREFLIGHT_JOB& job)
{
    bool bOk = true;
    const std::vector<T_PREFLIGHT_DRIVE>& arr = job.arrDrives;
    for (size_t i = 1; i < arr.size(); ++i) {
        for (size_t j = 0; j < i && arr[i].bOpened; ++j) {
            const T_PREFLIGHT_DRIVE &a = arr[j], &b = arr[i];
            if (!a.bOpened) continue;
            if (IsSame(a.storage, a.strPath, b.storage, b.strPath)) {
                LogError("%s and %s are the same drive: give each drive once.\n", a.strName, b.strName);
            } else if (Writes(job.nTask) && (IsStoredOn(a.storage, b.storage) || IsStoredOn(b.storage, a.storage))) {
                LogError("can't write disk %s: it shares its storage with %s, also a drive of this job.\n",
                         b.strName, a.strName);
            } else {
                continue;
            }
            bOk = false;
            break;  // one line per drive is enough
        }
    }
    return bOk;
}

// A read writes the image: not onto the drive it reads. A write reads it
// while it writes the drives, and a verify while its listed drives'
// file systems are unmounted: not from any of them.
bool RefuseImageOnDrives(const T_PREFLIGHT_JOB& job)
{
    const T_PREFLIGHT_IMAGE& image = job.image;
    if (!image.bOpened) return true;
    bool bOk = true;
    for (const T_PREFLIGHT_DRIVE& drive : job.arrDrives) {
        if (!drive.bOpened) continue;
        const bool bStored = IsStoredOn(image.storage, drive.storage);
        if (job.nTask == DUMPTASK_READ && bStored) {
            LogError("can't create file %s.\nit would be stored on the drive being read (%s).\n", image.strPath,
                     drive.strName);
        } else if (job.nTask != DUMPTASK_READ && IsSame(image.storage, image.strPath, drive.storage, drive.strPath)) {
            LogError("can't %s disk %s: it is the image file itself.\n", Writes(job.nTask) ? "write" : "verify",
                     drive.strName);
        } else if (job.nTask == DUMPTASK_WRITE && bStored) {
            LogError("can't write disk %s: the image file %s is stored on it.\n", drive.strName, image.strPath);
        } else if (job.nTask == DUMPTASK_VERIFY && bStored && drive.bReleased) {
            LogError("can't verify disk %s: the image file %s is stored on it, on a file system the job would "
                     "unmount%s.\n",
                     drive.strName, image.strPath, LeaveMounted(job));
        } else {
            continue;
        }
        bOk = false;
    }
    return bOk;
}

bool RefuseSystemDrives(const T_PREFLIGHT_JOB& job)
{
    bool bOk = true;
    for (const T_PREFLIGHT_DRIVE& drive : job.arrDrives) {
        const T_SYSTEM_PLACE* pPlace = drive.bOpened ? SystemPlaceOn(drive.storage, job.arrPlaces) : nullptr;
        if (!pPlace) continue;
        LogError("refused: %s holds %s of the running system; it is never written or erased.\n", drive.strName,
                 pPlace->strWhat);
        bOk = false;
    }
    return bOk;
}

// A drive that is only read keeps the running system's file systems mounted.
bool RefuseUnmountingSystem(const T_PREFLIGHT_JOB& job)
{
    bool bOk = true;
    for (const T_PREFLIGHT_DRIVE& drive : job.arrDrives) {
        const bool bLooked = drive.bOpened && drive.bReleased;
        const T_SYSTEM_PLACE* pPlace = bLooked ? SystemPlaceOn(drive.storage, job.arrPlaces) : nullptr;
        if (!pPlace) continue;
        LogError("refused: %s holds %s of the running system, which the job would unmount%s.\n", drive.strName,
                 pPlace->strWhat, LeaveMounted(job));
        bOk = false;
    }
    return bOk;
}

struct T_RULE {
    uint32_t dwKinds;  // the job kinds it applies to, a bit per kind
    bool (*fnRefuse)(const T_PREFLIGHT_JOB& job);
};

constexpr T_RULE RULES[] = {
    {WRITE | VERIFY | ERASE, RefuseRepeatedDrives},
    {READ | WRITE | VERIFY, RefuseImageOnDrives},
    {WRITE | ERASE, RefuseSystemDrives},
    {READ | VERIFY, RefuseUnmountingSystem},
};

}  // namespace

T_PREFLIGHT_DRIVE LookAtDrive(IDeviceProvider& devices, const std::string& strPath, const std::string& strName,
                              bool bReleased)
{
    T_PREFLIGHT_DRIVE drive{strPath, strName, false, {}, bReleased};
    uint32_t nError = 0;
    if (const std::unique_ptr<IDevice> pDrive = devices.Open(strPath, EOpenMode::ProbeDrive, nError)) {
        drive.bOpened = true;
        drive.storage = pDrive->GetStorage();
    }
    return drive;
}

T_PREFLIGHT_IMAGE LookAtImage(IDeviceProvider& devices, const std::string& strPath, bool bNew)
{
    T_PREFLIGHT_IMAGE image{strPath, false, {}};
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pImage = devices.Open(strPath, EOpenMode::ReadImage, nError);
    if (!pImage && bNew) {
        const std::u8string strFolder = PathOfUtf8(strPath).parent_path().u8string();
        pImage = devices.Open(strFolder.empty() ? std::string(".") : std::string(strFolder.begin(), strFolder.end()),
                              EOpenMode::ReadImage, nError);
    }
    if (pImage) {
        image.bOpened = true;
        image.storage = pImage->GetStorage();
    }
    return image;
}

bool PreflightJob(const T_PREFLIGHT_JOB& job)
{
    bool bOk = true;
    for (const T_RULE& rule : RULES) {
        if (job.nTask >= 0 && (rule.dwKinds >> job.nTask) & 1u) bOk = rule.fnRefuse(job) && bOk;
    }
    return bOk;
}

// Only the first drive of a read is read; the volumes the run locks are
// those of its volume list.
bool PassPreflight(const T_JOB_RUN& run)
{
    T_PREFLIGHT_JOB job;
    job.nTask = run.param.nTask;
    const size_t nDrives = job.nTask == DUMPTASK_READ ? std::min<size_t>(run.arrDrives.size(), 1)
                                                      : run.arrDrives.size();
    for (size_t i = 0; i < nDrives; ++i) {
        const auto isOwn = [i](const T_VOLUME_LOCK& volume) { return volume.nDrive == i; };
        const bool bReleased =
            !run.param.bShareRead && std::any_of(run.arrVolumes.begin(), run.arrVolumes.end(), isOwn);
        const T_JOB_DRIVE& drive = run.arrDrives[i];
        job.arrDrives.push_back(LookAtDrive(run.devices, drive.strPath, drive.strName, bReleased));
    }
    if (job.nTask != DUMPTASK_ERASE)
        job.image = LookAtImage(run.devices, run.param.szImagePath, job.nTask == DUMPTASK_READ);
    job.arrPlaces = run.param.pSystemPlaces ? *run.param.pSystemPlaces : SystemPlaces();
    return PreflightJob(job);
}
