#pragma once
// Where a descriptor's data lives, read from the descriptor and sysfs: the
// block devices under a file system (partition to disk, device-mapper and
// md layers to their members, loop devices to their backing files) and
// the files that back loop devices.
#include <sys/types.h>

#include "engine/device/device.h"

T_STORAGE PosixStorageOf(int fd);
EDeviceKind PosixKindOf(int fd);
// The device number of the block device fd refers to; ENOTTY (the storage
// and volume requests' "not supported") for anything else.
bool PosixBlockDeviceOf(int fd, dev_t& nDevice, uint32_t& nError);
