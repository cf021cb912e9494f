#pragma once
// SCSI commands without data, sent through SG_IO: the medium requests of
// disks with removable media (USB sticks, card readers).
#include <cstddef>
#include <cstdint>

// START STOP UNIT with LoEj set: loads (bLoad) or ejects the medium.
bool ScsiStartStopUnit(int fd, bool bLoad, uint32_t& nError);
// PREVENT ALLOW MEDIUM REMOVAL with "prevent" cleared.
bool ScsiAllowMediumRemoval(int fd, uint32_t& nError);

// The system error code of a command that ended with sense data: ENOMEDIUM
// for "not ready" (as the platform's no-medium code), ENOTTY for a command
// the device refuses as illegal, EIO for anything else.
uint32_t ScsiSenseError(const uint8_t* pSense, size_t nSense);
