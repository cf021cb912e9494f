#pragma once
// The "read" command: one drive into one raw image, with the digest.
#include "cli/cli_args.h"

// Runs the read and returns the exit status: 0 success, 1 failure.
int RunReadCommand(const T_CLI_ARGS& args);

// Refuses an image path that would destroy data: the drive itself, or an
// existing thing that is not a regular file (a device, a folder). Empty
// when the path is acceptable, else the reason.
std::string CheckImageTarget(const std::string& strDrive, const std::string& strImage);

// The job's block count: the asked MiB, at most 75% of the available
// memory, never below 16.
uint32_t ChooseBlockCount(uint32_t nAskedMiB, uint64_t nAvailableMiB);
