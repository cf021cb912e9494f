#include "cli/cli_conflicts.h"

#include <algorithm>
#include <atomic>
#include <optional>

#include "engine/core/log.h"
#include "engine/zlib/image_file_reader.h"

namespace {

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
