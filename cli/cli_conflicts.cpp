#include "cli/cli_conflicts.h"

#include <algorithm>

#include "engine/core/log.h"

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
