#include "cli/cli_buffer.h"

#include "drives/settings_keys.h"
#include "drives/settings_load.h"
#include "drives/settings_path.h"

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
