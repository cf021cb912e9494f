#include "cli/cli_buffer.h"

#include "drives/settings_keys.h"
#include "drives/settings_load.h"
#include "drives/settings_path.h"

uint32_t DefaultBufferMiB(IProfileStore& store, const std::string& strPath)
{
    return static_cast<uint32_t>(ReadBufferMiB(store, strPath));  // 16 or more
}

uint32_t DefaultBufferMiB()
{
    const std::string strPath = GetSettingsFilePath();
    if (strPath.empty()) return static_cast<uint32_t>(BUFFER_MIB_MIN);
    const std::unique_ptr<IProfileStore> pStore = CreateProfileStore();
    return DefaultBufferMiB(*pStore, strPath);
}
