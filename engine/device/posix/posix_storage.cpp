#include "engine/device/posix/posix_storage.h"

#include "engine/device/posix/posix_sysfs.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// Layers are rarely more than a few deep; the bound stops a loop device
// whose backing file lives on itself from recursing forever.
constexpr int MAX_LAYER_DEPTH = 16;
const fs::path SYS = "/sys";

void AddUnique(std::vector<uint64_t>& list, uint64_t n)
{
    if (std::find(list.begin(), list.end(), n) == list.end()) list.push_back(n);
}

void AddDeviceAndBelow(dev_t nDevice, T_STORAGE_IDS& ids, int nDepth);

// A loop device's backing file, when the folder is a loop device's.
bool LoopBackingOf(const fs::path& folder, struct stat& st)
{
    std::ifstream in(folder / "loop" / "backing_file");
    std::string strPath;
    return std::getline(in, strPath) && !strPath.empty() && ::stat(strPath.c_str(), &st) == 0;
}

std::pair<uint64_t, uint64_t> FileIdOf(const struct stat& st)
{
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

void AddDeviceAndBelow(dev_t nDevice, T_STORAGE_IDS& ids, int nDepth)
{
    if (nDepth > MAX_LAYER_DEPTH) return;
    AddUnique(ids.arrDevices, static_cast<uint64_t>(nDevice));
    std::error_code ec;
    const fs::path folder = SysfsFolderOf(SYS, nDevice);
    if (folder.empty()) return;  // not a block device (tmpfs and the like): nothing below
    dev_t nParent = 0;
    if (fs::exists(folder / "partition", ec) && ReadDevFile(folder.parent_path(), nParent)) {
        AddDeviceAndBelow(nParent, ids, nDepth + 1);
    }
    for (const auto& entry : fs::directory_iterator(folder / "slaves", ec)) {
        dev_t nSlave = 0;
        if (ReadDevFile(fs::canonical(entry.path(), ec), nSlave)) AddDeviceAndBelow(nSlave, ids, nDepth + 1);
    }
    struct stat st {};
    if (LoopBackingOf(folder, st)) {
        ids.arrFiles.push_back(FileIdOf(st));
        AddDeviceAndBelow(st.st_dev, ids, nDepth + 1);
    }
}

}  // namespace

EDeviceKind PosixKindOf(int fd)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) return EDeviceKind::Other;
    if (S_ISREG(st.st_mode)) return EDeviceKind::RegularFile;
    if (S_ISBLK(st.st_mode)) return EDeviceKind::BlockDevice;
    if (S_ISDIR(st.st_mode)) return EDeviceKind::Directory;
    if (S_ISCHR(st.st_mode)) return EDeviceKind::CharacterDevice;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return EDeviceKind::PipeOrSocket;
    return EDeviceKind::Other;
}

bool PosixBlockDeviceOf(int fd, dev_t& nDevice, uint32_t& nError)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        nError = static_cast<uint32_t>(errno);
        return false;
    }
    if (!S_ISBLK(st.st_mode)) {
        nError = ENOTTY;
        return false;
    }
    nDevice = st.st_rdev;
    return true;
}

T_STORAGE PosixStorageOf(int fd)
{
    T_STORAGE storage;
    struct stat st {};
    if (::fstat(fd, &st) != 0) return storage;
    if (S_ISBLK(st.st_mode)) {
        storage.self.arrDevices.push_back(static_cast<uint64_t>(st.st_rdev));
        const fs::path folder = SysfsFolderOf(SYS, st.st_rdev);
        struct stat backing {};
        if (!folder.empty() && LoopBackingOf(folder, backing)) storage.self.arrFiles.push_back(FileIdOf(backing));
        AddDeviceAndBelow(st.st_rdev, storage.below, 0);
    } else {
        storage.self.arrFiles.push_back(FileIdOf(st));
        AddDeviceAndBelow(st.st_dev, storage.below, 0);
    }
    return storage;
}
