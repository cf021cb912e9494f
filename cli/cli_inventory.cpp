#include "cli/cli_inventory.h"

#include <utility>

#include "jobs/job_preflight.h"

CCliInventory::CCliInventory() : CCliInventory(CreatePlatformVolumeScanner(), GetPlatformDevices(), PlatformMountPoints)
{
}

CCliInventory::CCliInventory(std::unique_ptr<IVolumeScanner> pScanner, IDeviceProvider& devices,
                             FnMountPoints fnMountPoints)
    : m_pScanner(std::move(pScanner)),
      m_devices(devices),
      m_fnMountPoints(std::move(fnMountPoints)),
      m_drives(*m_pScanner),
      m_jobDrives(m_drives, *m_pScanner)
{
}

CCliInventory::~CCliInventory() = default;

const std::vector<T_ITEM_DATA>& CCliInventory::Items()
{
    if (m_items) return *m_items;
    T_DRIVE_LIST_OPTIONS options;
    if (!m_arrOnly.empty()) {
        options.fnProbeOnly = [this](const std::string& strPath) {
            for (const std::string& strWord : m_arrOnly)
                if (IsSameObject(strWord, strPath)) return true;
            return false;
        };
    }
    m_items = BuildDriveItems(m_drives, *m_pScanner, m_devices, options);
    return *m_items;
}

IJobInventory& CCliInventory::Inventory()
{
    Items();
    return m_jobDrives;
}

std::vector<T_CLI_VOLUME> CCliInventory::Volumes(const T_ITEM_DATA& item)
{
    std::vector<T_CLI_VOLUME> arrVolumes;
    for (const T_JOB_VOLUME& volume : Inventory().GetDriveVolumes(item.nKind, static_cast<int>(item.nNumber))) {
        arrVolumes.push_back(T_CLI_VOLUME{volume.strName, volume.strPath, m_fnMountPoints(m_drives, volume)});
    }
    return arrVolumes;
}

std::vector<std::string> RootsOfVolume(const CDriveInfo& drives, const std::string& strLetter)
{
    std::vector<std::string> arrRoots;
    const DISK_DRIVE_INFO* pOwn = drives.FindLetter(strLetter);
    if (!pOwn) return arrRoots;
    for (const DISK_DRIVE_INFO& record : drives.m_arrDrive) {
        if (record.strVolumeName == pOwn->strVolumeName) arrRoots.push_back(record.strRoot);
    }
    return arrRoots;
}
