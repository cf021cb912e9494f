#include "engine/blockio/target_drives.h"

#include <cstring>
#include <string_view>

#include "engine/core/log.h"
#include "engine/core/system_error.h"

namespace {

constexpr std::string_view SHARED_STORAGE_LINE =
    "can't write disk %s.\nit shares its storage with %s, also a target of this job.\n";

}  // namespace

// Where opens are exclusive (Windows) the second open of a path would fail
// and leave the first to be written as if nothing were wrong.
bool RefuseRepeatedPaths(std::span<const std::string> arrPaths)
{
    for (size_t i = 1; i < arrPaths.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (arrPaths[i] != arrPaths[j]) continue;
            LogError(SHARED_STORAGE_LINE, arrPaths[i], arrPaths[j]);
            return false;
        }
    }
    return true;
}

std::unique_ptr<IDevice> OpenTargetDrive(IDeviceProvider& devices, const std::string& strPath, bool bShared,
                                         uint32_t& nError)
{
    nError = 0;
    std::unique_ptr<IDevice> pDrive =
        devices.Open(strPath, bShared ? EOpenMode::WriteDriveShared : EOpenMode::WriteDrive, nError);
    if (!pDrive) {
        LogDiskOpenError(strPath, nError);
        return nullptr;
    }
    const EDeviceKind eKind = pDrive->GetKind();
    if (eKind != EDeviceKind::BlockDevice && eKind != EDeviceKind::RegularFile) {
        LogError("can't open disk %s.\nit is %s, not a disk.\n", strPath, DeviceKindText(eKind));
        return nullptr;
    }
    return pDrive;
}

bool RefuseSharedStorage(std::span<IDevice* const> arrDrives, std::span<const std::string> arrPaths)
{
    std::vector<T_STORAGE> storage(arrDrives.size());
    for (size_t i = 0; i < arrDrives.size(); ++i) {
        if (!arrDrives[i]) continue;
        storage[i] = arrDrives[i]->GetStorage();
        for (size_t j = 0; j < i; ++j) {
            if (!arrDrives[j]) continue;
            if (IsStoredOn(storage[i], storage[j]) || IsStoredOn(storage[j], storage[i])) {
                LogError(SHARED_STORAGE_LINE, arrPaths[i], arrPaths[j]);
                return false;
            }
        }
    }
    return true;
}

bool FlushDrive(IDevice& drive, const std::string& strName, uint32_t& nError)
{
    nError = 0;
    if (drive.Flush(nError)) return true;
    LogError("%s - disk flush error.\n%s\n", strName, GetSystemErrorText(nError));
    return false;
}

bool SameOnDrive(IDevice& drive, uint8_t* pScratch, const uint8_t* pData, uint64_t nPos, uint32_t nCount)
{
    const T_IO_RESULT res = drive.ReadAt(nPos, pScratch, nCount);
    return res.bOk && res.nCount == nCount && std::memcmp(pScratch, pData, nCount) == 0;
}
