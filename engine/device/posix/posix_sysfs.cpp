#include "engine/device/posix/posix_sysfs.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

// sysfs counts sizes and starts in 512-byte sectors, whatever the device's.
constexpr uint64_t SYSFS_SECTOR = 512;
// The SCSI peripheral type of a CD/DVD drive.
constexpr int SCSI_TYPE_ROM = 5;
// Layers are rarely more than a few deep; the bound stops a cycle.
constexpr int MAX_HOLDER_DEPTH = 16;

// The first line of a sysfs file without its line feed; false when absent.
bool ReadLine(const fs::path& file, std::string& strValue)
{
    std::ifstream in(file);
    return static_cast<bool>(std::getline(in, strValue));
}

uint64_t ReadNumber(const fs::path& file)
{
    std::string strValue;
    return ReadLine(file, strValue) ? std::strtoull(strValue.c_str(), nullptr, 10) : 0;
}

bool IsPartition(const fs::path& folder)
{
    std::error_code ec;
    return fs::exists(folder / "partition", ec);
}

// The member devices of a layer, sorted by name; empty for anything else.
std::vector<fs::path> MembersOf(const fs::path& folder)
{
    std::vector<fs::path> arrMembers;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder / "slaves", ec)) {
        const fs::path member = fs::canonical(entry.path(), ec);
        if (!ec) arrMembers.push_back(member);
    }
    std::sort(arrMembers.begin(), arrMembers.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });
    return arrMembers;
}

// The whole-disk folder of a disk or partition folder.
fs::path DiskFolderOf(const fs::path& folder)
{
    return IsPartition(folder) ? folder.parent_path() : folder;
}

bool IsOptical(const fs::path& disk)
{
    std::string strType;
    return ReadLine(disk / "device" / "type", strType) && std::atoi(strType.c_str()) == SCSI_TYPE_ROM;
}

bool Fail(uint32_t& nError, int nCode)
{
    nError = static_cast<uint32_t>(nCode);
    return false;
}

void AddExtents(const fs::path& folder, std::vector<T_DISK_EXTENT>& arrExtents, int nDepth)
{
    if (nDepth > MAX_HOLDER_DEPTH || arrExtents.size() >= MAX_DISK_EXTENTS) return;
    dev_t nDisk = 0;
    const std::vector<fs::path> arrMembers = IsPartition(folder) ? std::vector<fs::path>{} : MembersOf(folder);
    if (!arrMembers.empty()) {
        for (const fs::path& member : arrMembers) AddExtents(member, arrExtents, nDepth + 1);
    } else if (ReadDevFile(DiskFolderOf(folder), nDisk)) {
        const uint64_t nStart = IsPartition(folder) ? ReadNumber(folder / "start") * SYSFS_SECTOR : 0;
        arrExtents.push_back(T_DISK_EXTENT{nDisk, nStart, ReadNumber(folder / "size") * SYSFS_SECTOR});
    }
}

// The first of the device folder's files that has a value.
std::string FirstOf(const fs::path& device, std::initializer_list<const char*> names)
{
    std::string strValue;
    for (const char* pName : names) {
        if (ReadLine(device / pName, strValue)) return strValue;
    }
    return std::string();
}

// The unit serial number page (VPD 0x80): a 4-byte header, then the text.
std::string VpdSerial(const fs::path& device)
{
    std::ifstream in(device / "vpd_pg80", std::ios::binary);
    std::string strPage((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (strPage.size() <= 4) return std::string();
    std::string strSerial = strPage.substr(4);
    strSerial.erase(std::find(strSerial.begin(), strSerial.end(), '\0'), strSerial.end());
    return strSerial;
}

std::string SerialOf(const T_SYSFS_ROOTS& roots, const fs::path& device, dev_t nDisk)
{
    std::string strSerial = FirstOf(device, {"serial"});
    if (strSerial.empty()) strSerial = VpdSerial(device);
    if (strSerial.empty()) strSerial = UdevProperty(roots.udev, nDisk, "ID_SERIAL_SHORT");
    if (strSerial.empty()) strSerial = UdevProperty(roots.udev, nDisk, "ID_SERIAL");
    if (strSerial.empty()) strSerial = FirstOf(device, {"wwid"});
    return strSerial;
}

}  // namespace

std::string UdevProperty(const fs::path& udev, dev_t nDevice, const std::string& strKey)
{
    // Appended piece by piece: GCC 12 at -O3 misreads "b" + ... as an
    // overlapping copy and warns.
    std::string strName = "b";
    strName.append(std::to_string(major(nDevice))).append(":").append(std::to_string(minor(nDevice)));
    std::ifstream in(udev / strName);
    const std::string strPrefix = "E:" + strKey + "=";
    for (std::string strLine; std::getline(in, strLine);) {
        if (strLine.rfind(strPrefix, 0) == 0) return strLine.substr(strPrefix.size());
    }
    return std::string();
}

fs::path SysfsFolderOf(const fs::path& sys, dev_t nDevice)
{
    std::error_code ec;
    const std::string strNumber = std::to_string(major(nDevice)) + ":" + std::to_string(minor(nDevice));
    const fs::path link = sys / "dev" / "block" / strNumber;
    fs::path folder = fs::canonical(link, ec);
    return ec ? fs::path() : folder;
}

bool ReadDevFile(const fs::path& folder, dev_t& nDevice)
{
    std::ifstream in(folder / "dev");
    unsigned nMajor = 0, nMinor = 0;
    char colon = 0;
    if (!(in >> nMajor >> colon >> nMinor) || colon != ':') return false;
    nDevice = makedev(nMajor, nMinor);
    return true;
}

bool SysfsDeviceNumber(const T_SYSFS_ROOTS& roots, dev_t nDevice, T_DEVICE_NUMBER& number, uint32_t& nError)
{
    const fs::path folder = SysfsFolderOf(roots.sys, nDevice);
    if (folder.empty()) return Fail(nError, ENODEV);
    if (!IsPartition(folder) && !MembersOf(folder).empty()) return Fail(nError, ENOTTY);
    const fs::path disk = DiskFolderOf(folder);
    dev_t nDisk = 0;
    if (!ReadDevFile(disk, nDisk)) return Fail(nError, ENODEV);
    const bool bOptical = IsOptical(disk);
    number.DeviceType = bOptical ? DEVICE_NUMBER_TYPE_CD_ROM : DEVICE_NUMBER_TYPE_DISK;
    number.DeviceNumber = static_cast<uint64_t>(nDisk);
    number.PartitionNumber = IsPartition(folder) ? static_cast<int32_t>(ReadNumber(folder / "partition"))
                                                 : (bOptical ? -1 : 0);
    return true;
}

bool SysfsDiskExtents(const T_SYSFS_ROOTS& roots, dev_t nDevice, std::vector<T_DISK_EXTENT>& arrExtents,
                      uint32_t& nError)
{
    const fs::path folder = SysfsFolderOf(roots.sys, nDevice);
    if (folder.empty()) return Fail(nError, ENODEV);
    arrExtents.clear();
    AddExtents(folder, arrExtents, 0);
    return !arrExtents.empty() || Fail(nError, ENODEV);
}

bool SysfsStorageDescriptor(const T_SYSFS_ROOTS& roots, dev_t nDevice, T_STORAGE_DESCRIPTOR& descriptor,
                            uint32_t& nError)
{
    const fs::path folder = SysfsFolderOf(roots.sys, nDevice);
    if (folder.empty()) return Fail(nError, ENODEV);
    const fs::path disk = DiskFolderOf(folder);
    const fs::path device = disk / "device";
    std::error_code ec;
    dev_t nDisk = 0;
    if (!ReadDevFile(disk, nDisk)) return Fail(nError, ENOTTY);
    descriptor.bRemovableMedia = ReadNumber(disk / "removable") == 1;
    // A loop device has no hardware behind it: it is described without
    // names. A device over other devices (device mapper, RAID) is no drive.
    if (!fs::is_directory(device, ec)) return MembersOf(disk).empty() || Fail(nError, ENOTTY);
    descriptor.strVendor = FirstOf(device, {"vendor"});
    descriptor.strProduct = FirstOf(device, {"model", "name"});
    descriptor.strRevision = FirstOf(device, {"rev", "firmware_rev", "fwrev"});
    descriptor.strSerial = SerialOf(roots, device, nDisk);
    return true;
}

EMediaClass SysfsMediaClass(const T_SYSFS_ROOTS& roots, dev_t nDevice)
{
    const fs::path folder = SysfsFolderOf(roots.sys, nDevice);
    if (folder.empty()) return EMediaClass::Fixed;
    const fs::path disk = DiskFolderOf(folder);
    if (IsOptical(disk)) return EMediaClass::Optical;
    return ReadNumber(disk / "removable") == 1 ? EMediaClass::Removable : EMediaClass::Fixed;
}
