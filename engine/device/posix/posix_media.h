#pragma once
// The medium requests of a block device: optical drives through the CD-ROM
// driver's requests, disks with removable media through SCSI commands. A
// fixed disk (and anything that is not a block device) answers none of
// them, with ENOTTY, so that no fixed disk is ever told to stop.
#include <cstdint>

bool PosixAllowMediaRemoval(int fd, uint32_t& nError);
bool PosixEjectMedia(int fd, uint32_t& nError);
bool PosixLoadMedia(int fd, uint32_t& nError);
