#pragma once
// The command line's drive inventory: the platform's volume scanner, the
// inventory of volumes over it, and the drive list built from both once per
// run (every kind of drive shown, nothing hidden: the settings that hide
// drives belong to the window). The job runner takes Inventory() as its
// IJobInventory; selectors and the list command read Items().
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "drives/drive_info.h"
#include "drives/drive_list_build.h"
#include "drives/volume_scanner.h"
#include "engine/device/device.h"
#include "jobs/job_drive_info.h"

// A volume of a drive as the list shows it.
struct T_CLI_VOLUME {
    std::string strName;  // "sdb1", "E:"
    std::string strPath;  // "/dev/sdb1", "\\.\E:"
    std::vector<std::string> arrMountPoints;  // "/media/stick", "E:\"; none when not mounted
};

// Where a volume of the inventory is mounted.
using FnMountPoints = std::function<std::vector<std::string>(const CDriveInfo& drives, const T_JOB_VOLUME& volume)>;

class CCliInventory {
public:
    // The platform's scanner, devices and mount points.
    CCliInventory();
    // Tests: a scripted scanner, fake devices, mount points of their own.
    CCliInventory(std::unique_ptr<IVolumeScanner> pScanner, IDeviceProvider& devices, FnMountPoints fnMountPoints);
    virtual ~CCliInventory();
    CCliInventory(const CCliInventory&) = delete;
    CCliInventory& operator=(const CCliInventory&) = delete;

    // Limits the list to the drives whose device paths name the same device
    // as one of these paths (a job given by paths); call before the list is
    // built.
    void LimitToPaths(const std::vector<std::string>& arrPaths) { m_arrOnly = arrPaths; }
    // The drive list, built (and the inventory refreshed) on the first call.
    const std::vector<T_ITEM_DATA>& Items();
    // The inventory for the job runner; refreshed by the list build first.
    IJobInventory& Inventory();
    IDeviceProvider& Devices() { return m_devices; }
    // The volumes of a listed drive, in the inventory's order.
    std::vector<T_CLI_VOLUME> Volumes(const T_ITEM_DATA& item);

private:
    std::unique_ptr<IVolumeScanner> m_pScanner;
    IDeviceProvider& m_devices;
    FnMountPoints m_fnMountPoints;
    CDriveInfo m_drives;
    CJobDriveInfo m_jobDrives;
    std::optional<std::vector<T_ITEM_DATA>> m_items;
    std::vector<std::string> m_arrOnly;  // empty: every drive

};

// The roots of the records of the letter's volume ("E:\"): where Windows
// has it mounted, as far as the inventory keeps it.
std::vector<std::string> RootsOfVolume(const CDriveInfo& drives, const std::string& strLetter);

// The platform's answers (cli/posix, cli/win32): where a volume is mounted,
// and whether floppy drives are known by letter (floppy:A) or by path.
std::vector<std::string> PlatformMountPoints(const CDriveInfo& drives, const T_JOB_VOLUME& volume);
bool FloppiesHaveLetters();
