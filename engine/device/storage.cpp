// Portable questions about what a device or file is and where it lives,
// and the lines that report a drive that did not open.
#include <algorithm>

#include "engine/core/log.h"
#include "engine/core/system_error.h"
#include "engine/device/device.h"

namespace {

template <class T>
bool Meet(const std::vector<T>& a, const std::vector<T>& b)
{
    return std::any_of(a.begin(), a.end(), [&](const T& x) { return std::find(b.begin(), b.end(), x) != b.end(); });
}

bool Meet(const T_STORAGE_IDS& a, const T_STORAGE_IDS& b)
{
    return Meet(a.arrDevices, b.arrDevices) || Meet(a.arrFiles, b.arrFiles);
}

}  // namespace

bool IsStoredOn(const T_STORAGE& file, const T_STORAGE& drive)
{
    // Only the drive's own ids count: a file on another partition of the
    // same disk does not touch a drive that is one partition.
    return Meet(drive.self, file.self) || Meet(drive.self, file.below);
}

const char* DeviceKindText(EDeviceKind eKind)
{
    switch (eKind) {
    case EDeviceKind::RegularFile: return "a regular file";
    case EDeviceKind::BlockDevice: return "a disk device";
    case EDeviceKind::Directory: return "a folder";
    case EDeviceKind::CharacterDevice: return "a character device";
    case EDeviceKind::PipeOrSocket: return "a pipe or socket";
    case EDeviceKind::Other: break;
    }
    return "not a disk or a file";
}

void LogDiskOpenError(const std::string& strPath, uint32_t nError)
{
    LogError("can't open disk %s.\n%s\n", strPath, GetSystemErrorText(nError));
    if (SystemError::IsInUse(nError)) {
        LogError("%s is in use by another program (another job on this drive, or a file system on it that is still "
                 "mounted).\n",
                 strPath);
    }
}
