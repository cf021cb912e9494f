#pragma once
// The commands main runs, each returning the program's exit status: 0 when
// the command did all it was asked and the log reached standard output; 1
// when anything was refused, not confirmed or failed (a drive NG); for the
// commands that run a job, StopExitStatus after a stop request that cut it
// short.
#include <cstdint>
#include <string>

#include "cli/cli_args.h"
#include "cli/cli_env.h"
#include "cli/cli_inventory.h"
#include "cli/console.h"

// "read": one drive into one raw or compressed image, with the drive's
// digest; 0 when the image is complete.
int RunReadCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env);
// "write": one image to 1 to 4 drives at the same time after the
// operator's Yes, optionally checked afterwards by a compare pass or by
// reading the drives back for their digest; 0 when every drive was written
// (and checked when asked).
int RunWriteCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env);
// "verify": 1 to 4 drives compared byte for byte with one image, the image
// read once; 0 when every drive equals the image over the compared length.
int RunVerifyCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env);
// "erase": 1 to 4 drives overwritten at the same time with the passes of
// one erase method after the operator's Yes; 0 when every drive completed
// every pass (every verification pass finding no difference).
int RunEraseCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env);
// "checksum": the MD5 digest and the data size of one image (of the
// uncompressed data for a compressed image), and whether the image's
// .md5sum file agrees. The image checksum task computes them; the command
// is a client of its requests and messages, as the window is. 0 when the
// digest was computed and no .md5sum file disagrees.
int RunChecksumCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env);

// "list": every drive the inventory lists, with the selector that names it
// on the command line, its display text, device path and size, and its
// volumes with where they are mounted, for example
//   disk:1   DRIVE#01 (sdb1) ( 14.91GiB) USB     Flash Disk
//            /dev/sdb, 16008609792 bytes
//            volume sdb1 (/dev/sdb1) mounted on /media/stick
std::string DriveListing(CCliInventory& inventory, bool bFloppyLetters = FloppiesHaveLetters());
int RunListCommand(CCliInventory& inventory, const T_CONSOLE_IO& io);

// "methods": every erase method of the catalogue with its id, its constant
// name, its log line and its passes, in a short notation: 0x00 a fill
// byte, R1 the first random sequence, ~R1 its complement, "V " in front of
// a verification pass ("R2", "~R1", "V 0x00", "V R1" for one pass code).
std::string ErasePassNotation(uint32_t nCode);
std::string EraseMethodsListing();
int RunMethodsCommand(const T_CONSOLE_IO& io);
