#pragma once
// A machine for the command line's drive tests, scripted: disk 0 holds C:;
// disk 1 (a USB stick) E: and F:;
// disk 2 has no volume; CD-ROM drive 0 has no disc. The drives are fake
// devices, each its own block device; "fake:disk1p1" is the first partition
// of disk 1 and "fake:by-id/usb-stick" another name of disk 1.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "cli/cli_inventory.h"
#include "drives/drive_kind.h"
#include "drives/fake/scripted_volume_scanner.h"
#include "engine/core/system_error.h"
#include "engine/device/fake/fake_device.h"

namespace cli_test {

// The device number of a fake block device: one per disk, its partitions
// after it.
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

class CliInventoryTest : public ::testing::Test {
protected:
    CliInventoryTest()
    {
        m_pScanner->MountLetter("C", "\\\\?\\Volume{C}\\", DRIVE_TYPE_FIXED);
        m_pScanner->SetStorage("\\\\?\\Volume{C}", StorageOnDisk(0, 1));
        m_pScanner->MountLetter("E", "\\\\?\\Volume{E}\\", DRIVE_TYPE_REMOVABLE);
        m_pScanner->SetStorage("\\\\?\\Volume{E}", StorageOnDisk(1, 1));
        m_pScanner->MountLetter("F", "\\\\?\\Volume{F}\\", DRIVE_TYPE_REMOVABLE);
        m_pScanner->SetStorage("\\\\?\\Volume{F}", StorageOnDisk(1, 2));
        AddDrive(DRIVE_KIND_DISK, 0, 3 << 20, "ATA     ", "System Disk     ");
        AddDrive(DRIVE_KIND_DISK, 1, 1 << 20, "USB     ", "Flash Disk      ");
        AddDrive(DRIVE_KIND_DISK, 2, 1000);
        AddDrive(DRIVE_KIND_CDROM, 0, 0)->FailLengthRequest(SystemError::NotReady(), true);
        AddPartition(1, 1);
        auto pOtherName = std::make_shared<CFakeDisk>(std::vector<uint8_t>(16));
        pOtherName->SetStorage(BlockStorage(FakeDeviceId(1)));
        m_devices.Add("fake:by-id/usb-stick", pOtherName);
    }

    // A drive at "fake:diskN" / "fake:cdN" answering as the system would.
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
        m_pScanner->SetDrivePath(nKind, n, strPath);
        return pDisk;
    }

    // "fake:diskNpP", partition P of disk N.
    std::shared_ptr<CFakeDisk> AddPartition(uint32_t nDisk, int32_t nPartition)
    {
        auto pPart = std::make_shared<CFakeDisk>(std::vector<uint8_t>(512));
        pPart->SetStorage(BlockStorage(FakeDeviceId(nDisk, nPartition), FakeDeviceId(nDisk)));
        pPart->Volume().SetDeviceNumber(T_DEVICE_NUMBER{DEVICE_NUMBER_TYPE_DISK, FakeDeviceId(nDisk), nPartition});
        m_devices.Add("fake:disk" + std::to_string(nDisk) + "p" + std::to_string(nPartition), pPart);
        return pPart;
    }

    // The inventory over the script as it stands; made on first use.
    CCliInventory& Inventory()
    {
        const auto mountPoints = [](const CDriveInfo& drives, const T_JOB_VOLUME& volume) {
            return RootsOfVolume(drives, volume.strName.substr(0, 1));  // "E:" -> "E"
        };
        if (!m_pInventory) {
            m_pInventory = std::make_unique<CCliInventory>(std::move(m_pOwnedScanner), m_devices, mountPoints);
        }
        return *m_pInventory;
    }

    std::unique_ptr<CScriptedVolumeScanner> m_pOwnedScanner = std::make_unique<CScriptedVolumeScanner>();
    CScriptedVolumeScanner* m_pScanner = m_pOwnedScanner.get();
    CFakeDeviceProvider m_devices;
    std::unique_ptr<CCliInventory> m_pInventory;
};

}  // namespace cli_test
