// The pre-flight's one entry: the job's drive list and volumes as the job
// runner builds them, the look at the image and the drives for the job's
// kind, then the rules; and the job runner's pass through it.
#include "jobs/job_preflight.h"

#include <algorithm>

#include "engine/codecs/codec_libraries.h"
#include "engine/codecs/format_decision.h"
#include "engine/checksum/digest_file.h"
#include "engine/core/format.h"
#include "engine/core/log.h"
#include "engine/zlib/zlib_io.h"
#include "jobs/preflight_rules.h"

namespace {

constexpr const char* NO_ZLIB = "a compressed image needs the zlib library, and none was found";
constexpr const char* WRITTEN_FORMATS = "this program writes images as raw (.gmi, .dd), gzip (.gmz, .gz) or zstd (.zst)";

// The drives the job will use: a read reads its first drive only. A drive
// is released when the job locks and unmounts volumes of it.
std::vector<T_PREFLIGHT_DRIVE> DrivesOf(const T_JOB_RUN& run)
{
    const T_DUMPTASK_PARAM& param = run.param;
    const size_t nDrives = param.nTask == DUMPTASK_READ ? std::min<size_t>(run.arrDrives.size(), 1)
                                                        : run.arrDrives.size();
    std::vector<T_PREFLIGHT_DRIVE> arrDrives;
    for (size_t i = 0; i < nDrives; ++i) {
        const T_JOB_DRIVE& drive = run.arrDrives[i];
        const auto isOwn = [i](const T_VOLUME_LOCK& volume) { return volume.nDrive == i; };
        T_PREFLIGHT_DRIVE looked;
        looked.strPath = drive.strPath;
        looked.strName = param.wording.bDrivesByPath ? drive.strPath : drive.strName;
        looked.nSlot = drive.nSlot;
        looked.bReleased = !param.bShareRead && std::any_of(run.arrVolumes.begin(), run.arrVolumes.end(), isOwn);
        arrDrives.push_back(looked);
    }
    return arrDrives;
}

// A read: the image's format (one this program does not write ends the
// pre-flight before anything is opened), the image path (nothing else is
// looked at when it holds something the read may not replace), then the
// format's library, then where the drive and the image (or the folder it
// will be created in) live.
void LookAtRead(const T_JOB_RUN& run, T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result)
{
    const std::string& strImage = run.param.szImagePath;
    const EImageFormat eFormat = JobImageFormat(run.param);
    if (!IsWrittenFormat(eFormat)) {
        Refuse(result, -1, FormatText("can't make %s: %s.\n", strImage, WRITTEN_FORMATS));
        return;
    }
    if (job.arrDrives.empty() || !LookAtImagePath(job.arrDrives.front().strPath, strImage, result)) return;
    const std::string strUnwritable =
        eFormat == EImageFormat::Gzip && !ZlibLibraryFound() ? NO_ZLIB : FormatUnwritableReason(eFormat);
    if (!strUnwritable.empty()) {
        Refuse(result, -1, FormatText("can't create file %s.\n%s.\n", strImage, strUnwritable));
        return;
    }
    job.image = LookAtNewImage(run.devices, strImage);
    job.arrDrives.front() = LookAtDrive(run.devices, job.arrDrives.front());
}

// A write's or a verify's image: one of a format that cannot be read here
// ends the pre-flight before anything is opened; one that opens must start
// as its format does.
bool InspectImageOf(const T_JOB_RUN& run, T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result)
{
    const std::string& strImage = run.param.szImagePath;
    const EImageFormat eFormat = JobImageFormat(run.param);
    if (eFormat == EImageFormat::Gzip && !ZlibLibraryFound()) {
        Refuse(result, -1, FormatText("can't open file %s: %s.\n", strImage, NO_ZLIB));
        return false;
    }
    const std::string strUnreadable = FormatUnreadableRefusal(strImage, eFormat);
    if (!strUnreadable.empty()) {
        Refuse(result, -1, strUnreadable);
        return false;
    }
    job.image = InspectImage(run.devices, strImage, result);
    if (!job.image.bOpened) return true;
    const T_FORMAT_LOOK look = LookAtFormat(run.devices, strImage, eFormat);
    if (!look.strRefusal.empty()) Refuse(result, -1, look.strRefusal);
    if (!look.strWarning.empty()) result.arrWarnings.push_back(look.strWarning);
    return true;
}

// A write's digest file: read whole before anything else is opened, and
// refused unless it holds a digest for the image.
bool ReadCheckFile(const T_JOB_RUN& run, T_PREFLIGHT_RESULT& result)
{
    const T_DUMPTASK_PARAM& param = run.param;
    if (param.nTask != DUMPTASK_WRITE || param.strCheckFile.empty()) return true;
    const T_DIGEST_FILE file = ReadDigestFile(run.devices, param.strCheckFile, param.szImagePath);
    if (file.eState == EDigestFile::Digest) {
        result.checkDigest = file.digest;
        return true;
    }
    if (file.eState == EDigestFile::Missing || file.eState == EDigestFile::Unreadable)
        Refuse(result, -1, FormatText("can't read digest file %s.\n%s", param.strCheckFile, file.strReason));
    else
        Refuse(result, -1,
               FormatText("digest file %s: %s.\n", param.strCheckFile, DigestFileProblem(file, param.szImagePath)));
    return false;
}

// A write, a verify or an erase: the image (a compressed one only when it
// can be read), then every drive, so that every problem shows at once.
void InspectJob(const T_JOB_RUN& run, T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result)
{
    const T_DUMPTASK_PARAM& param = run.param;
    if (param.nTask != DUMPTASK_ERASE && (!ReadCheckFile(run, result) || !InspectImageOf(run, job, result))) {
        job.arrDrives.clear();
        return;
    }
    const bool bWrites = param.nTask == DUMPTASK_WRITE || param.nTask == DUMPTASK_ERASE;
    const EOpenMode eWrite = !bWrites            ? EOpenMode::ProbeDrive
                             : param.bSharedWrite ? EOpenMode::WriteDriveShared
                                                  : EOpenMode::WriteDrive;
    for (T_PREFLIGHT_DRIVE& drive : job.arrDrives) {
        drive = InspectDrive(run.devices, drive, eWrite, param.nTask == DUMPTASK_ERASE, result);
        result.arrDriveSizes.push_back(drive.nSize);
    }
}

T_PREFLIGHT_RESULT PreflightRun(const T_JOB_RUN& run, const std::atomic<bool>* pStop)
{
    const T_DUMPTASK_PARAM& param = run.param;
    T_PREFLIGHT_RESULT result;
    if (param.nTask < DUMPTASK_READ || param.nTask > DUMPTASK_ERASE) return result;
    T_PREFLIGHT_JOB job;
    job.nTask = param.nTask;
    job.arrDrives = DrivesOf(run);
    job.wording = param.wording;
    job.bCompressed = IsCompressedFormat(JobImageFormat(param));
    job.bForceWrite = param.bForceWrite;
    job.pDevices = &run.devices;
    job.pStop = pStop;
    if (param.nTask == DUMPTASK_READ) {
        LookAtRead(run, job, result);
        result.arrDriveSizes.assign(job.arrDrives.size(), 0);
    } else {
        InspectJob(run, job, result);
    }
    if (job.arrDrives.empty() || (param.nTask == DUMPTASK_READ && !result.arrRefusals.empty())) return result;
    job.arrPlaces = param.pSystemPlaces ? *param.pSystemPlaces : SystemPlaces();
    ApplyRules(job, result);
    return result;
}

}  // namespace

T_PREFLIGHT_RESULT PreflightJob(const T_DUMPTASK_PARAM& param, const std::atomic<bool>* pStop)
{
    T_JOB_RUN run{param, param.pDevices ? *param.pDevices : GetPlatformDevices(), {}, {}, {}, {}, 16, {}};
    BuildDriveList(run);
    BuildVolumeList(run);
    return PreflightRun(run, pStop);
}

bool LogRefusals(const T_PREFLIGHT_RESULT& result)
{
    for (const std::string& strWarning : result.arrWarnings) LogWarning("%s", strWarning);
    for (const T_PREFLIGHT_REFUSAL& refusal : result.arrRefusals) LogError("%s", refusal.strText);
    return result.Passed();
}

bool ZlibLibraryFound()
{
    const CZLIBIO zlib;  // holds a link while it lives
    return zlib.IsLoaded();
}

// The front end's pass has shown the warnings already.
bool PassPreflight(T_JOB_RUN& run, const std::atomic<bool>& bStop)
{
    T_PREFLIGHT_RESULT result = PreflightRun(run, &bStop);
    result.arrWarnings.clear();
    run.checkDigest = result.checkDigest;
    return LogRefusals(result);
}

void DecideJobImageFormat(T_DUMPTASK_PARAM& param, EFormatAsk eAsk)
{
    EImageFormat eFormat = EImageFormat::Raw;
    if (param.nTask == DUMPTASK_READ) {
        eFormat = FormatAsked(param.szImagePath, eAsk);  // a new image: its name alone
    } else if (param.nTask == DUMPTASK_WRITE || param.nTask == DUMPTASK_VERIFY) {
        IDeviceProvider& devices = param.pDevices ? *param.pDevices : GetPlatformDevices();
        eFormat = DecideImageFormat(devices, param.szImagePath, eAsk).eFormat;
    } else {
        return;
    }
    param.bCompressImage = eFormat == EImageFormat::Gzip;
    param.eImageFormat = eFormat;
}

EImageFormat JobImageFormat(const T_DUMPTASK_PARAM& param)
{
    return param.bCompressImage ? EImageFormat::Gzip : param.eImageFormat;
}
