#pragma once
// The list command: every drive the inventory lists, with the selector that
// names it on the command line, its display text, device path and size,
// and its volumes with where they are mounted.
#include <string>

#include "cli/cli_inventory.h"
#include "cli/console.h"

// The whole listing, for example
//   disk:1   DRIVE#01 (sdb1) ( 14.91GiB) USB     Flash Disk
//            /dev/sdb, 16008609792 bytes
//            volume sdb1 (/dev/sdb1) mounted on /media/stick
std::string DriveListing(CCliInventory& inventory, bool bFloppyLetters = FloppiesHaveLetters());
// Prints the listing on standard output: 0, or 1 when it could not be
// written.
int RunListCommand(CCliInventory& inventory, const T_CONSOLE_IO& io);
