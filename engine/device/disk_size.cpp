#include "engine/device/device.h"

bool GetDiskSize(IDevice& device, uint64_t& nSize, uint32_t& nError)
{
    if (device.GetLengthInfo(nSize, nError)) return true;
    T_DISK_GEOMETRY geo;
    if (!device.GetDriveGeometry(geo, nError)) return false;
    nSize = static_cast<uint64_t>(geo.Cylinders) * geo.TracksPerCylinder * geo.SectorsPerTrack * geo.BytesPerSector;
    return true;
}
