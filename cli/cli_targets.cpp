// Opening and measuring the image and the drives of a write, a verify or
// an erase. The refusals between them are the job's pre-flight (a drive
// given twice, the image on a drive, the running system) and, for sizes
// that differ, cli_conflicts.cpp.
#include "cli/cli_targets.h"

#include "cli/cli_conflicts.h"
#include "cli/cli_job.h"
#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "jobs/job_preflight.h"

namespace {

// The image: a regular file that can be opened and measured.
bool InspectImage(IDeviceProvider& devices, const std::string& strImage, T_TARGET& image)
{
    uint32_t nError = 0;
    const std::unique_ptr<IDevice> pImage = devices.Open(strImage, EOpenMode::ReadImage, nError);
    if (!pImage) {
        LogError("can't open file %s: %s.\n", strImage, ErrorClause(nError));
        return false;
    }
    const EDeviceKind eKind = pImage->GetKind();
    if (eKind != EDeviceKind::RegularFile) {
        LogError("can't open file %s: it is %s, not an image file.\n", strImage, DeviceKindText(eKind));
        return false;
    }
    if (!GetDiskSize(*pImage, image.nSize, nError)) {
        LogError("can't open file %s: its size cannot be told: %s.\n", strImage, ErrorClause(nError));
        return false;
    }
    image.strPath = strImage;
    image.storage = pImage->GetStorage();
    return true;
}

// Opens a drive the way the engine will write it, and closes it again at
// once: a drive held by someone else (a mounted file system) is refused
// now, before the question and before any other drive is written.
bool ProbeForWriting(IDeviceProvider& devices, const std::string& strDrive, bool bErase)
{
    uint32_t nError = 0;
    if (devices.Open(strDrive, EOpenMode::WriteDrive, nError)) return true;
    if (bErase) {
        LogError("can't open disk %s for erasing: %s.\n", strDrive, ErrorClause(nError));
    } else {
        LogError("can't write disk %s: %s.\n", strDrive, ErrorClause(nError));
    }
    return false;
}

// A drive: an existing disk, or a regular file standing in for one, that
// can be measured (and, to be written, opened for writing).
bool InspectDrive(IDeviceProvider& devices, const std::string& strDrive, const T_TARGET_RULES& rules, bool bReleased,
                  T_TARGET& target)
{
    uint32_t nError = 0;
    std::unique_ptr<IDevice> pDrive = devices.Open(strDrive, EOpenMode::ProbeDrive, nError);
    if (!pDrive) {
        LogError("can't open disk %s: %s.\n", strDrive, ErrorClause(nError));
        return false;
    }
    const EDeviceKind eKind = pDrive->GetKind();
    if (eKind != EDeviceKind::BlockDevice && eKind != EDeviceKind::RegularFile) {
        LogError("can't open disk %s: it is %s, not a disk.\n", strDrive, DeviceKindText(eKind));
        return false;
    }
    if (!GetDiskSize(*pDrive, target.nSize, nError)) {
        LogError("can't open disk %s: its size cannot be told: %s.\n", strDrive, ErrorClause(nError));
        return false;
    }
    target.strPath = strDrive;
    target.storage = pDrive->GetStorage();
    pDrive.reset();
    return !rules.bWrite || bReleased || ProbeForWriting(devices, strDrive, rules.bErase);
}

// Inspects every drive; arrOpen gets those that could be opened and
// measured, the pre-flight's drives every one (those that could not marked
// as not opened). False when any could not.
bool OpenDrives(IDeviceProvider& devices, const std::vector<std::string>& arrDrives, const T_TARGET_RULES& rules,
                std::vector<T_TARGET>& arrTargets, std::vector<T_TARGET>& arrOpen, T_PREFLIGHT_JOB& preflight)
{
    bool bOk = true;
    arrTargets.assign(arrDrives.size(), T_TARGET{});
    for (size_t i = 0; i < arrDrives.size(); ++i) {
        const bool bReleased = i < rules.arrReleasedByJob.size() && rules.arrReleasedByJob[i];
        const bool bOpened = InspectDrive(devices, arrDrives[i], rules, bReleased, arrTargets[i]);
        if (bOpened) arrOpen.push_back(arrTargets[i]);
        bOk = bOk && bOpened;
        preflight.arrDrives.push_back(
            T_PREFLIGHT_DRIVE{arrDrives[i], arrDrives[i], bOpened, arrTargets[i].storage, bReleased});
    }
    return bOk;
}

T_PREFLIGHT_JOB PreflightOf(const T_TARGET_RULES& rules)
{
    T_PREFLIGHT_JOB preflight;
    preflight.nTask = rules.bErase ? DUMPTASK_ERASE : rules.bWrite ? DUMPTASK_WRITE : DUMPTASK_VERIFY;
    preflight.arrPlaces = rules.arrPlaces;
    preflight.strLeaveMounted = LEAVE_MOUNTED;
    return preflight;
}

}  // namespace

std::string ErrorClause(uint32_t nError)
{
    std::string strText = GetSystemErrorText(nError);
    while (!strText.empty() && (strText.back() == '\n' || strText.back() == '\r' || strText.back() == ' ' ||
                                strText.back() == '.')) {
        strText.pop_back();
    }
    return strText.empty() ? "system error " + std::to_string(nError) : strText;
}

bool InspectJob(IDeviceProvider& devices, const std::string& strImage, const std::vector<std::string>& arrDrives,
                const T_TARGET_RULES& rules, std::vector<T_TARGET>& arrTargets)
{
    if (rules.bCompressed && !ZlibLibraryFound()) {
        LogError("can't open file %s: a compressed image needs the zlib library, and none was found.\n", strImage);
        return false;
    }
    T_TARGET image;
    const bool bImage = InspectImage(devices, strImage, image);
    // Drives and conflicts are looked at even when the image failed, so
    // that every problem shows in one run.
    std::vector<T_TARGET> arrOpen;
    T_PREFLIGHT_JOB preflight = PreflightOf(rules);
    preflight.image = T_PREFLIGHT_IMAGE{strImage, bImage, image.storage};
    bool bOk = OpenDrives(devices, arrDrives, rules, arrTargets, arrOpen, preflight) && bImage;
    if (!PreflightJob(preflight)) bOk = false;
    if (bImage && !CheckSizes(devices, image, arrOpen, rules)) bOk = false;
    return bOk;
}

bool InspectDrives(IDeviceProvider& devices, const std::vector<std::string>& arrDrives, const T_TARGET_RULES& rules,
                   std::vector<T_TARGET>& arrTargets)
{
    std::vector<T_TARGET> arrOpen;
    T_PREFLIGHT_JOB preflight = PreflightOf(rules);
    const bool bOpened = OpenDrives(devices, arrDrives, rules, arrTargets, arrOpen, preflight);
    return PreflightJob(preflight) && bOpened;
}
