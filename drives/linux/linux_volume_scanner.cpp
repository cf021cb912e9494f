// The Linux volume scanner: the drive table of one look at the system,
// answering the inventory's questions.
#include "drives/linux/linux_volume_scanner.h"

#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <utility>

#include "drives/drive_kind.h"

namespace {

// A device number in 32 bits, as the kernel encodes it for user space.
uint32_t EncodeDevice(dev_t nDevice)
{
    const uint32_t nMajor = major(nDevice), nMinor = minor(nDevice);
    return (nMinor & 0xFFu) | (nMajor << 8) | ((nMinor & ~0xFFu) << 12);
}

}  // namespace

CLinuxVolumeScanner::CLinuxVolumeScanner(T_SYSFS_ROOTS roots, std::filesystem::path mountInfo)
    : m_roots(std::move(roots)), m_mountInfo(std::move(mountInfo))
{
}

std::vector<std::string> CLinuxVolumeScanner::ListLetters()
{
    std::ifstream in(m_mountInfo);
    m_arrMounts = ParseMountInfo(in);
    m_table = ReadLinuxDriveTable(m_roots, m_arrMounts);
    std::vector<std::string> arrLetters;
    for (const T_LINUX_VOLUME& volume : m_table.arrVolumes) arrLetters.push_back(volume.strName);
    return arrLetters;
}

std::string CLinuxVolumeScanner::RootOf(const std::string& strLetter)
{
    return LinuxDevicePath(strLetter);
}

bool CLinuxVolumeScanner::QueryLetterDevice(const std::string& strLetter, T_DOS_DEVICE& device)
{
    const T_LINUX_VOLUME* pVolume = FindByRoot(RootOf(strLetter));
    if (!pVolume) return false;
    const T_LINUX_DRIVE& drive = m_table.arrDrives[pVolume->nDrive];
    device = T_DOS_DEVICE{};
    device.strTarget = LinuxDevicePath(pVolume->strName);
    device.bFloppy = drive.nKind == DRIVE_KIND_FLOPPY;
    if (device.bFloppy) device.nFloppy = static_cast<int32_t>(drive.nNumber);
    return true;
}

bool CLinuxVolumeScanner::GetVolumeNameForMountPoint(const std::string& strPath, std::string& strVolumeName)
{
    const T_LINUX_VOLUME* pVolume = FindByRoot(strPath);
    if (pVolume) strVolumeName = pVolume->strVolumeName;
    return pVolume != nullptr;
}

uint32_t CLinuxVolumeScanner::GetRootDriveType(const std::string& strRoot)
{
    const T_LINUX_VOLUME* pVolume = FindByRoot(strRoot);
    return pVolume ? pVolume->nDriveType : DRIVE_TYPE_NO_ROOT_DIR;
}

bool CLinuxVolumeScanner::GetFileSystemTotalBytes(const std::string& strRoot, uint64_t& nTotalBytes)
{
    const T_LINUX_VOLUME* pVolume = FindByRoot(strRoot);
    if (!pVolume) return false;
    for (const T_MOUNT& mount : m_arrMounts) {
        if (mount.nDevice != pVolume->nDevice && mount.strSource != strRoot) continue;
        struct statvfs st {};
        if (::statvfs(mount.strTarget.c_str(), &st) != 0) continue;
        nTotalBytes = static_cast<uint64_t>(st.f_blocks) * st.f_frsize;
        return true;
    }
    return false;
}

std::vector<std::string> CLinuxVolumeScanner::ListMountPoints(const std::string&)
{
    return {};
}

T_VOLUME_STORAGE CLinuxVolumeScanner::QueryVolumeStorage(const std::string& strVolumeName)
{
    T_VOLUME_STORAGE storage;
    const auto it = std::find_if(m_table.arrVolumes.begin(), m_table.arrVolumes.end(),
                                 [&](const T_LINUX_VOLUME& volume) { return volume.strVolumeName == strVolumeName; });
    if (it == m_table.arrVolumes.end()) return storage;
    const T_LINUX_VOLUME* pVolume = &*it;
    storage.bOpened = true;
    const T_LINUX_DRIVE& drive = m_table.arrDrives[pVolume->nDrive];
    if (drive.nKind == DRIVE_KIND_FLOPPY) return storage;
    // Only disk volumes have extents: a CD-ROM's volume is found by its
    // drive's number, never among the disks.
    if (drive.nKind == DRIVE_KIND_DISK) AddExtents(*pVolume, storage);
    T_DEVICE_NUMBER number;
    uint32_t nError = 0;
    if (!SysfsDeviceNumber(m_roots, pVolume->nDevice, number, nError)) return storage;
    if (const T_LINUX_DRIVE* pDisk = FindDrive(static_cast<dev_t>(number.DeviceNumber))) {
        storage.bNumber = true;
        storage.number = T_DEVICE_NUMBER{pDisk->nKind, pDisk->nNumber, number.PartitionNumber};
    }
    return storage;
}

void CLinuxVolumeScanner::AddExtents(const T_LINUX_VOLUME& volume, T_VOLUME_STORAGE& storage) const
{
    std::vector<T_DISK_EXTENT> arrExtents;
    uint32_t nError = 0;
    if (!SysfsDiskExtents(m_roots, volume.nDevice, arrExtents, nError)) return;
    for (T_DISK_EXTENT& extent : arrExtents) {
        const T_LINUX_DRIVE* pDisk = FindDrive(static_cast<dev_t>(extent.DiskNumber));
        if (!pDisk || pDisk->nKind != DRIVE_KIND_DISK) return;
        extent.DiskNumber = pDisk->nNumber;
    }
    storage.bExtents = true;
    storage.arrExtents = arrExtents;
}

bool CLinuxVolumeScanner::ListVolumeInterfaces(std::vector<T_VOLUME_INTERFACE>& arrInterfaces)
{
    arrInterfaces.clear();
    for (const T_LINUX_VOLUME& volume : m_table.arrVolumes) {
        const T_LINUX_DRIVE& drive = m_table.arrDrives[volume.nDrive];
        T_VOLUME_INTERFACE entry;
        entry.strInterfacePath = volume.folder.string() + "/";
        entry.strVolumeName = volume.strVolumeName;
        entry.dnDevInst = EncodeDevice(volume.nDevice);
        entry.strPdoName = LinuxDevicePath(volume.strName);
        entry.strDeviceId = volume.folder.string();
        if (volume.nDevice != drive.nDevice) {  // a partition: its disk is the parent
            entry.bParent = true;
            entry.dnParent = EncodeDevice(drive.nDevice);
            entry.strParentId = drive.folder.string();
        }
        arrInterfaces.push_back(entry);
    }
    return true;
}

bool CLinuxVolumeScanner::GetDrivePath(uint32_t nKind, uint32_t nNumber, std::string& strPath)
{
    for (const T_LINUX_DRIVE& drive : m_table.arrDrives) {
        if (drive.nKind != nKind || drive.nNumber != nNumber) continue;
        strPath = LinuxDevicePath(drive.strName);
        return true;
    }
    return false;
}

const T_LINUX_VOLUME* CLinuxVolumeScanner::FindByRoot(const std::string& strRoot) const
{
    for (const T_LINUX_VOLUME& volume : m_table.arrVolumes) {
        if (LinuxDevicePath(volume.strName) == strRoot) return &volume;
    }
    return nullptr;
}

const T_LINUX_DRIVE* CLinuxVolumeScanner::FindDrive(dev_t nDevice) const
{
    for (const T_LINUX_DRIVE& drive : m_table.arrDrives) {
        if (drive.nDevice == nDevice) return &drive;
    }
    return nullptr;
}

std::unique_ptr<IVolumeScanner> CreatePlatformVolumeScanner()
{
    return std::make_unique<CLinuxVolumeScanner>();
}
