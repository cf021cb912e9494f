#pragma once
// The drive inventory as the job runner sees it: a drive's device path
// from the volume scanner, and its volumes from the inventory's records
// (drive letters on Windows, partitions on Linux).
#include "drives/drive_info.h"
#include "jobs/job_inventory.h"

class CJobDriveInfo : public IJobInventory {
public:
    CJobDriveInfo(CDriveInfo& drives, IVolumeScanner& scanner) : m_drives(drives), m_scanner(scanner) {}

    std::string GetDrivePath(uint32_t nKind, int nNumber) override;
    std::vector<T_JOB_VOLUME> GetDriveVolumes(uint32_t nKind, int nNumber) override;

private:
    CDriveInfo& m_drives;
    IVolumeScanner& m_scanner;
};
