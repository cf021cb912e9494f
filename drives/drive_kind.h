#pragma once
// The kinds of drive the program works on, with the number that names one
// drive of a kind, and the drive types a volume's root reports.
#include <cstdint>

// A physical disk, numbered 0..255 ("\\.\PhysicalDrive%d"; on Linux the
// disk's position among the disks sorted by device number).
constexpr uint32_t DRIVE_KIND_DISK = 7;
// A CD-ROM drive, numbered 0..255 ("\\.\CDROM%d"; /dev/srN by position).
constexpr uint32_t DRIVE_KIND_CDROM = 2;
// A floppy drive, numbered by its letter index (0 = A:) on Windows and by N
// of /dev/fdN on Linux.
constexpr uint32_t DRIVE_KIND_FLOPPY = 0xE000;
// An empty slot: no drive.
constexpr uint32_t DRIVE_KIND_NONE = 0x22;

// The drive types of a volume's root, as GetDriveTypeW numbers them.
constexpr uint32_t DRIVE_TYPE_UNKNOWN = 0;
constexpr uint32_t DRIVE_TYPE_NO_ROOT_DIR = 1;
constexpr uint32_t DRIVE_TYPE_REMOVABLE = 2;
constexpr uint32_t DRIVE_TYPE_FIXED = 3;
constexpr uint32_t DRIVE_TYPE_REMOTE = 4;
constexpr uint32_t DRIVE_TYPE_CDROM = 5;
constexpr uint32_t DRIVE_TYPE_RAMDISK = 6;
