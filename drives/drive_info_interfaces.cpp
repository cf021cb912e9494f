// The setup interface's data of the volumes, attached to their records.
#include "drives/drive_info.h"

bool CDriveInfo::ScanVolumeInterfaces()
{
    std::vector<T_VOLUME_INTERFACE> arrInterfaces;
    if (!m_scanner.ListVolumeInterfaces(arrInterfaces)) return false;
    for (const T_VOLUME_INTERFACE& volume : arrInterfaces) {
        if (volume.strVolumeName.empty()) continue;
        for (DISK_DRIVE_INFO& drive : m_arrDrive) {
            if (drive.strVolumeName != volume.strVolumeName) continue;
            drive.strInterfacePath = volume.strInterfacePath;
            drive.dnDevInst = volume.dnDevInst;
            drive.strPdoName = volume.strPdoName;
            drive.strDeviceId = volume.strDeviceId;
            if (volume.bParent) {
                drive.dnParent = volume.dnParent;
                drive.strParentId = volume.strParentId;
            }
        }
    }
    return true;
}
