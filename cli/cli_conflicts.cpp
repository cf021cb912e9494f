#include "cli/cli_conflicts.h"

#include <algorithm>

#include "cli/cli_paths.h"
#include "engine/core/log.h"

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

bool CheckSizes(const T_TARGET& image, const std::vector<T_TARGET>& arrTargets, const T_TARGET_RULES& rules)
{
    if (rules.bCompressed) return true;  // the data's length is known only by inflating them
    bool bOk = true;
    for (const T_TARGET& target : arrTargets) {
        const uint64_t nCommon = std::min(image.nSize, target.nSize);
        if (rules.bWrite && !rules.bForceWrite && target.nSize != image.nSize) {
            LogError("can't write disk %s: it holds %I64u bytes and the image %I64u (--force-write writes the "
                     "first %I64u).\n",
                     target.strPath, target.nSize, image.nSize, nCommon);
            bOk = false;
        } else if (!rules.bWrite && target.nSize < image.nSize) {
            LogWarning("%s holds %I64u bytes, fewer than the image's %I64u: only its %I64u are compared.\n",
                       target.strPath, target.nSize, image.nSize, nCommon);
        }
    }
    return bOk;
}
