#include "cli/cli_buffer.h"

#include <algorithm>

#include "drives/settings_keys.h"
#include "drives/settings_load.h"
#include "drives/settings_path.h"
#include "engine/core/log.h"

// The setting is refused above the largest --buffer.
static_assert(BUFFER_MIB_MAX == MAX_BUFFER_MIB);

uint32_t DefaultBufferMiB(IProfileStore& store, const std::string& strPath, std::vector<std::string>* pWarnings)
{
    const auto nMiB = static_cast<uint32_t>(ReadBufferMiB(store, strPath, pWarnings));  // 16 or more
    if (pWarnings) AddStrayKeyWarnings(store, strPath, *pWarnings);
    return nMiB;
}

uint32_t DefaultBufferMiB(std::vector<std::string>* pWarnings)
{
    const std::string strPath = GetSettingsFilePath();
    if (strPath.empty()) return static_cast<uint32_t>(BUFFER_MIB_MIN);
    const std::unique_ptr<IProfileStore> pStore = CreateProfileStore();
    return DefaultBufferMiB(*pStore, strPath, pWarnings);
}

uint32_t AskedBufferMiB(const T_CLI_ARGS& args, const T_CLI_ENV& env)
{
    if (args.nBufferMiB != 0) return args.nBufferMiB;
    for (const std::string& strWarning : env.arrSettingsWarnings) LogWarning("%s", strWarning);
    return env.nDefaultBufferMiB;
}

uint32_t ChooseBlockCount(uint32_t nAskedMiB, uint64_t nAvailableMiB)
{
    uint64_t nBlocks = nAskedMiB;
    if (nAvailableMiB > 0) nBlocks = std::min<uint64_t>(nBlocks, nAvailableMiB * 3 / 4);
    return static_cast<uint32_t>(std::max<uint64_t>(nBlocks, MIN_BUFFER_MIB));
}

uint32_t JobBlockCount(uint32_t nAskedMiB, uint64_t nAvailableMiB)
{
    const uint32_t nBlocks = ChooseBlockCount(nAskedMiB, nAvailableMiB);
    if (nBlocks < nAskedMiB) {
        LogWarning("a buffer of %u MiB is more than 75%% of the available memory (%I64u MiB): lowered to %u MiB.\n",
                   nAskedMiB, nAvailableMiB, nBlocks);
    }
    return nBlocks;
}
