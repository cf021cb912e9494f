// The pre-flight's rules between what was opened: drives given twice or
// sharing their storage, the image on a drive, the running system, and the
// sizes of a raw image and the drives it is written to. Each rule is a row
// of a table: the job kinds it applies to and what it refuses.
#include <algorithm>
#include <optional>
#include <system_error>

#include "engine/core/format.h"
#include "engine/zlib/image_file_reader.h"
#include "jobs/preflight_rules.h"

namespace {

constexpr uint32_t READ = 1u << DUMPTASK_READ;
constexpr uint32_t WRITE = 1u << DUMPTASK_WRITE;
constexpr uint32_t VERIFY = 1u << DUMPTASK_VERIFY;
constexpr uint32_t ERASE = 1u << DUMPTASK_ERASE;

// The same object: each one's data are the other's (two names of one
// device or file, a loop device and its backing file), or, where the
// platform tells neither, two paths of one file.
bool IsSame(const T_STORAGE& a, const std::string& strA, const T_STORAGE& b, const std::string& strB)
{
    if (IsStoredOn(a, b) && IsStoredOn(b, a)) return true;
    if (!a.self.arrDevices.empty() || !a.self.arrFiles.empty()) return false;
    std::error_code ec;
    return std::filesystem::equivalent(PathOf(strA), PathOf(strB), ec) && !ec;
}

bool Writes(int nTask)
{
    return nTask == DUMPTASK_WRITE || nTask == DUMPTASK_ERASE;
}

// "; give --share-read to leave its volumes mounted", or nothing.
std::string LeaveMounted(const T_PREFLIGHT_JOB& job)
{
    return job.wording.strLeaveMounted.empty() ? std::string() : "; " + job.wording.strLeaveMounted;
}

void RefuseRepeatedDrives(const T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result)
{
    const std::vector<T_PREFLIGHT_DRIVE>& arr = job.arrDrives;
    for (size_t i = 1; i < arr.size(); ++i) {
        for (size_t j = 0; j < i && arr[i].bOpened; ++j) {
            const T_PREFLIGHT_DRIVE &a = arr[j], &b = arr[i];
            if (!a.bOpened) continue;
            if (IsSame(a.storage, a.strPath, b.storage, b.strPath)) {
                Refuse(result, b.nSlot,
                       FormatText("%s and %s are the same drive: give each drive once.\n", a.strName, b.strName));
            } else if (Writes(job.nTask) && (IsStoredOn(a.storage, b.storage) || IsStoredOn(b.storage, a.storage))) {
                Refuse(result, b.nSlot,
                       FormatText("can't write disk %s: it shares its storage with %s, also a drive of this job.\n",
                                  b.strName, a.strName));
            } else {
                continue;
            }
            break;  // one line per drive is enough
        }
    }
}

// A read writes the image: not onto the drive it reads. A write reads it
// while it writes the drives, and a verify while its released drives'
// file systems are unmounted: not from any of them.
void RefuseImageOnDrives(const T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result)
{
    const T_PREFLIGHT_IMAGE& image = job.image;
    if (!image.bOpened) return;
    for (const T_PREFLIGHT_DRIVE& drive : job.arrDrives) {
        if (!drive.bOpened) continue;
        const bool bStored = IsStoredOn(image.storage, drive.storage);
        std::string strText;
        if (job.nTask == DUMPTASK_READ && bStored) {
            strText = FormatText("can't create file %s.\nit would be stored on the drive being read (%s).\n",
                                 image.strPath, drive.strName);
        } else if (job.nTask != DUMPTASK_READ && IsSame(image.storage, image.strPath, drive.storage, drive.strPath)) {
            strText = FormatText("can't %s disk %s: it is the image file itself.\n",
                                 Writes(job.nTask) ? "write" : "verify", drive.strName);
        } else if (job.nTask == DUMPTASK_WRITE && bStored) {
            strText = FormatText("can't write disk %s: the image file %s is stored on it.\n", drive.strName,
                                 image.strPath);
        } else if (job.nTask == DUMPTASK_VERIFY && bStored && drive.bReleased) {
            strText = FormatText("can't verify disk %s: the image file %s is stored on it, on a file system the job "
                                 "would unmount%s.\n",
                                 drive.strName, image.strPath, LeaveMounted(job));
        }
        if (!strText.empty()) Refuse(result, drive.nSlot, std::move(strText));
    }
}

void RefuseSystemDrives(const T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result)
{
    for (const T_PREFLIGHT_DRIVE& drive : job.arrDrives) {
        const T_SYSTEM_PLACE* pPlace = drive.bOpened ? SystemPlaceOn(drive.storage, job.arrPlaces) : nullptr;
        if (!pPlace) continue;
        Refuse(result, drive.nSlot,
               FormatText("refused: %s holds %s of the running system; it is never written or erased.\n",
                          drive.strName, pPlace->strWhat));
    }
}

// A drive that is only read keeps the running system's file systems mounted.
void RefuseUnmountingSystem(const T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result)
{
    for (const T_PREFLIGHT_DRIVE& drive : job.arrDrives) {
        const bool bLooked = drive.bOpened && drive.bReleased;
        const T_SYSTEM_PLACE* pPlace = bLooked ? SystemPlaceOn(drive.storage, job.arrPlaces) : nullptr;
        if (!pPlace) continue;
        Refuse(result, drive.nSlot,
               FormatText("refused: %s holds %s of the running system, which the job would unmount%s.\n",
                          drive.strName, pPlace->strWhat, LeaveMounted(job)));
    }
}

// A raw image longer than the drive loses nothing when all it holds past
// the drive's end is zero. Empty when the image could not be read there
// (the reader has said why) or the stop flag ended the read.
std::optional<bool> ZeroPastEnd(const T_PREFLIGHT_JOB& job, uint64_t nDriveSize)
{
    CImageFileReader reader;
    T_IMAGE_TAIL tail;
    const std::atomic<bool> bNoStop{false};
    const std::atomic<bool>& bStop = job.pStop ? *job.pStop : bNoStop;
    if (!job.pDevices || !reader.Open(*job.pDevices, job.image.strPath, EImageFormat::Raw) ||
        !reader.ReadTail(nDriveSize, tail, bStop)) {
        return {};
    }
    return tail.bAllZero;
}

// A write refuses a raw image whose size differs from a drive's unless
// forced; a raw image longer than drives all of one size passes when all
// it holds past their end is zero (drives of several sizes all get the
// smallest one's length, so the larger ones would miss zeros they can
// hold). A compressed image's length is known only by inflating it, and a
// verify compares whatever the sizes: the engines judge those.
void RefuseSizes(const T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result)
{
    if (!job.image.bOpened || job.bCompressed || job.bForceWrite) return;
    std::vector<const T_PREFLIGHT_DRIVE*> arrOpen;
    for (const T_PREFLIGHT_DRIVE& drive : job.arrDrives) {
        if (drive.bOpened) arrOpen.push_back(&drive);
    }
    if (arrOpen.empty()) return;
    const uint64_t nImage = job.image.nSize, nFirst = arrOpen.front()->nSize;
    const bool bOneSize = std::all_of(arrOpen.begin(), arrOpen.end(), [&](auto* p) { return p->nSize == nFirst; });
    const bool bLonger = nFirst < nImage;
    const std::optional<bool> bZeroEnd = bOneSize && bLonger ? ZeroPastEnd(job, nFirst) : std::optional<bool>(false);
    if (!bZeroEnd && job.pStop && *job.pStop) {
        result.bStopped = true;
        return;
    }
    const char* pszPast = !bOneSize || !bLonger ? ""
                          : bZeroEnd        ? ", with data that are not zero past the drive's end"
                                            : ", whose data past the drive's end could not be read";
    for (const T_PREFLIGHT_DRIVE* pDrive : arrOpen) {
        if (pDrive->nSize == nImage || (pDrive->nSize < nImage && bZeroEnd.value_or(false))) continue;
        const uint64_t nCommon = std::min(nImage, pDrive->nSize);
        const std::string& strFlag = job.wording.strForceWrite;
        const std::string strForce =
            strFlag.empty() ? std::string() : FormatText(" (%s writes the first %I64u)", strFlag, nCommon);
        Refuse(result, pDrive->nSlot, FormatText("can't write disk %s: it holds %I64u bytes and the image %I64u%s%s.\n",
                                                 pDrive->strName, pDrive->nSize, nImage, pszPast, strForce));
    }
}

struct T_RULE {
    uint32_t dwKinds;  // the job kinds it applies to, a bit per kind
    void (*fnRefuse)(const T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result);
};

constexpr T_RULE RULES[] = {
    {WRITE | VERIFY | ERASE, RefuseRepeatedDrives},
    {READ | WRITE | VERIFY, RefuseImageOnDrives},
    {WRITE | ERASE, RefuseSystemDrives},
    {READ | VERIFY, RefuseUnmountingSystem},
    {WRITE, RefuseSizes},
};

}  // namespace

void Refuse(T_PREFLIGHT_RESULT& result, int nSlot, std::string strText)
{
    result.arrRefusals.push_back(T_PREFLIGHT_REFUSAL{std::move(strText), nSlot});
}

void ApplyRules(const T_PREFLIGHT_JOB& job, T_PREFLIGHT_RESULT& result)
{
    for (const T_RULE& rule : RULES) {
        if (job.nTask >= 0 && (rule.dwKinds >> job.nTask) & 1u) rule.fnRefuse(job, result);
    }
}
