#pragma once
// What every engine that writes whole drives does the same way: a path
// given twice is refused before anything is opened; each drive is opened
// for writing (alone, unless the shared-write option says otherwise) and
// must be a disk, or a regular file standing in for one; two drives on one
// storage (a disk and its partition, a loop device and its backing file)
// are refused before any write; every write ends with a flush; and, with
// the compare-after-write option, a unit the drive already holds is left
// as it is. Each refusal and failure logs its own lines.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "engine/device/device.h"

// False, with the line of the second path, when a path is given twice.
bool RefuseRepeatedPaths(std::span<const std::string> arrPaths);

// The drive opened for writing. Null, with its lines logged and nError set
// when the system gave one, when it cannot be opened or is of a kind that
// cannot be written.
std::unique_ptr<IDevice> OpenTargetDrive(IDeviceProvider& devices, const std::string& strPath, bool bShared,
                                         uint32_t& nError);

// False, with the line of the later drive, when two of the drives share
// their storage. A null entry is a slot without a drive.
bool RefuseSharedStorage(std::span<IDevice* const> arrDrives, std::span<const std::string> arrPaths);

// Flushes what was written; false, with "<name> - disk flush error." and
// the reason logged and nError set, when the drive could not store it.
bool FlushDrive(IDevice& drive, const std::string& strName, uint32_t& nError);

// True when the drive holds exactly these nCount bytes at nPos, read into
// pScratch. A read that fails or comes back short just means the unit must
// be written.
bool SameOnDrive(IDevice& drive, uint8_t* pScratch, const uint8_t* pData, uint64_t nPos, uint32_t nCount);
