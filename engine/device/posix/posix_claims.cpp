#include "engine/device/posix/posix_claims.h"

#include <filesystem>
#include <map>
#include <mutex>

#include "engine/device/posix/posix_sysfs.h"

namespace {

std::mutex g_mutex;
std::map<dev_t, int> g_claims;  // device number -> claims held on it

}  // namespace

void NoteClaimTaken(dev_t nDevice)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_claims[nDevice];
}

void NoteClaimReleased(dev_t nDevice)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = g_claims.find(nDevice);
    if (it != g_claims.end() && --it->second <= 0) g_claims.erase(it);
}

bool HeldByOwnClaims(dev_t nDisk)
{
    namespace fs = std::filesystem;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_claims.contains(nDisk)) return true;
    }
    const fs::path folder = SysfsFolderOf(T_SYSFS_ROOTS().sys, nDisk);
    if (folder.empty()) return false;
    int nPartitions = 0;
    std::error_code ec;
    std::lock_guard<std::mutex> lock(g_mutex);
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        if (!fs::exists(entry.path() / "partition", ec)) continue;
        dev_t nPartition = 0;
        if (!ReadDevFile(entry.path(), nPartition) || !g_claims.contains(nPartition)) return false;
        ++nPartitions;
    }
    return nPartitions > 0;
}
