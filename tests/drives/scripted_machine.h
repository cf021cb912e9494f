#pragma once
// A machine for the drive list's tests and the command line's, scripted:
// disk 0 holds C:; disk 1 (a USB stick) E: and F:; disk 2 has no volume;
// CD-ROM drive 0 has no disc. Each drive is a fake device at "fake:diskN" or
// "fake:cdN", its own block device, answering as the system would.
#include <memory>
#include <string>

#include "drives/drive_kind.h"
#include "drives/fake/scripted_volume_scanner.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"

namespace drive_test {

// The device number of a fake block device: one per disk, its partitions after it.
inline uint64_t FakeDeviceId(uint32_t nDisk, int32_t nPartition = 0)
{
    return 0x800 + nDisk * 16 + static_cast<uint64_t>(nPartition);
}

inline T_STORAGE BlockStorage(uint64_t nDevice, uint64_t nBelow = 0)
{
    T_STORAGE storage;
    storage.self.arrDevices = {nDevice};
    storage.below.arrDevices = {nDevice};
    if (nBelow != 0) storage.below.arrDevices.push_back(nBelow);
    return storage;
}

class CScriptedMachine {
public:
    CScriptedMachine()
    {
        Mount("C", 0, 1, DRIVE_TYPE_FIXED);
        Mount("E", 1, 1, DRIVE_TYPE_REMOVABLE);
        Mount("F", 1, 2, DRIVE_TYPE_REMOVABLE);
        AddDrive(DRIVE_KIND_DISK, 0, 3 << 20, "ATA     ", "System Disk     ");
        AddDrive(DRIVE_KIND_DISK, 1, 1 << 20, "USB     ", "Flash Disk      ");
        AddDrive(DRIVE_KIND_DISK, 2, 1000);
        AddDrive(DRIVE_KIND_CDROM, 0, 0)->FailLengthRequest(SystemError::NotReady(), true);
    }

    void Mount(const std::string& strLetter, uint32_t nDisk, int32_t nPartition, uint32_t nType)
    {
        const std::string strVolume = "\\\\?\\Volume{" + strLetter + "}\\";
        m_scanner.MountLetter(strLetter, strVolume, nType);
        m_scanner.SetStorage(strVolume, StorageOnDisk(nDisk, nPartition));
    }

    std::shared_ptr<CFakeDisk> AddDrive(uint32_t nKind, uint32_t n, uint64_t nSize, const std::string& strVendor = "",
                                        const std::string& strProduct = "")
    {
        const bool bDisk = nKind == DRIVE_KIND_DISK;
        const std::string strPath = std::string(bDisk ? "fake:disk" : "fake:cd") + std::to_string(n);
        auto pDisk = std::make_shared<CFakeDisk>(std::vector<uint8_t>(nSize));
        T_STORAGE_DESCRIPTOR descriptor;
        descriptor.strVendor = strVendor;
        descriptor.strProduct = strProduct;
        pDisk->Volume().SetStorageDescriptor(descriptor);
        const uint64_t nDevice = bDisk ? FakeDeviceId(n) : 0xB00 + n;
        pDisk->SetStorage(BlockStorage(nDevice));
        pDisk->Volume().SetDeviceNumber(
            T_DEVICE_NUMBER{bDisk ? DEVICE_NUMBER_TYPE_DISK : DEVICE_NUMBER_TYPE_CD_ROM, nDevice, bDisk ? 0 : -1});
        m_devices.Add(strPath, pDisk);
        m_scanner.SetDrivePath(nKind, n, strPath);
        return pDisk;
    }

    std::unique_ptr<CScriptedVolumeScanner> m_pOwnedScanner = std::make_unique<CScriptedVolumeScanner>();
    CScriptedVolumeScanner& m_scanner = *m_pOwnedScanner;
    CFakeDeviceProvider m_devices;
};

}  // namespace drive_test
