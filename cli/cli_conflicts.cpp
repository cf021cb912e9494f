#include "cli/cli_conflicts.h"

#include <algorithm>
#include <atomic>
#include <optional>

#include "cli/cli_paths.h"
#include "engine/core/log.h"
#include "engine/zlib/image_file_reader.h"

namespace {

// The same object: each one's data are the other's (two names of one
// device or file, or a loop device and its backing file), or, where the
// platform cannot tell, two paths of one file.
bool IsSame(const T_TARGET& a, const T_TARGET& b)
{
    if (IsStoredOn(a.storage, b.storage) && IsStoredOn(b.storage, a.storage)) return true;
    return IsSameObject(a.strPath, b.strPath);
}

// Writing one would change the other's data (a disk and one of its
// partitions, say).
bool Overlap(const T_TARGET& a, const T_TARGET& b)
{
    return IsStoredOn(a.storage, b.storage) || IsStoredOn(b.storage, a.storage);
}

// A raw image longer than the drive loses nothing when all it holds past
// the drive's end is zero. Empty when the image could not be read there
// (the reader has said why).
std::optional<bool> ZeroPastEnd(IDeviceProvider& devices, const T_TARGET& image, const T_TARGET& target)
{
    CImageFileReader reader;
    T_IMAGE_TAIL tail;
    const std::atomic<bool> bNoStop{false};
    if (!reader.Open(devices, image.strPath, false) || !reader.ReadTail(target.nSize, tail, bNoStop)) return {};
    return tail.bAllZero;
}

}  // namespace

bool RefuseRepeatedDrives(const std::vector<T_TARGET>& arrTargets, const T_TARGET_RULES& rules)
{
    bool bOk = true;
    for (size_t i = 1; i < arrTargets.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            const T_TARGET& a = arrTargets[j];
            const T_TARGET& b = arrTargets[i];
            if (IsSame(a, b)) {
                LogError("%s and %s are the same drive: give each drive once.\n", a.strPath, b.strPath);
            } else if (rules.bWrite && Overlap(a, b)) {
                LogError("can't write disk %s: it shares its storage with %s, also a drive of this job.\n",
                         b.strPath, a.strPath);
            } else {
                continue;
            }
            bOk = false;
            break;  // one line per drive is enough
        }
    }
    return bOk;
}

bool RefuseImageAsDrive(const T_TARGET& image, const std::vector<T_TARGET>& arrTargets, const T_TARGET_RULES& rules)
{
    bool bOk = true;
    for (const T_TARGET& target : arrTargets) {
        if (IsSame(image, target)) {
            LogError("can't %s disk %s: it is the image file itself.\n", rules.bWrite ? "write" : "verify",
                     target.strPath);
        } else if (rules.bWrite && IsStoredOn(image.storage, target.storage)) {
            LogError("can't write disk %s: the image file %s is stored on it.\n", target.strPath, image.strPath);
        } else {
            continue;
        }
        bOk = false;
    }
    return bOk;
}

bool CheckSizes(IDeviceProvider& devices, const T_TARGET& image, const std::vector<T_TARGET>& arrTargets,
                const T_TARGET_RULES& rules)
{
    // A compressed image's length is known only by inflating it, and a
    // verify compares whatever the sizes: the engines judge those cases.
    if (rules.bCompressed || !rules.bWrite || rules.bForceWrite) return true;
    // Drives of several sizes all get the smallest one's length, so the
    // larger ones would miss zeros they can hold: no exception then.
    const bool bOneSize = std::all_of(arrTargets.begin(), arrTargets.end(),
                                      [&](const T_TARGET& t) { return t.nSize == arrTargets.front().nSize; });
    const bool bLonger = !arrTargets.empty() && arrTargets.front().nSize < image.nSize;
    const std::optional<bool> bZeroEnd =
        bOneSize && bLonger ? ZeroPastEnd(devices, image, arrTargets.front()) : std::optional<bool>(false);
    if (!bZeroEnd) return false;  // the image could not be read: the reader said why
    bool bOk = true;
    for (const T_TARGET& target : arrTargets) {
        if (target.nSize == image.nSize || (target.nSize < image.nSize && *bZeroEnd)) continue;
        const uint64_t nCommon = std::min(image.nSize, target.nSize);
        LogError("can't write disk %s: it holds %I64u bytes and the image %I64u%s (--force-write writes the first "
                 "%I64u).\n",
                 target.strPath, target.nSize, image.nSize,
                 bOneSize && bLonger ? ", with data that are not zero past the drive's end" : "", nCommon);
        bOk = false;
    }
    return bOk;
}
