#pragma once
// The "read" command: one drive into one raw or compressed image, with the
// drive's digest.
#include <string>

#include "cli/cli_args.h"
#include "cli/cli_job.h"

// Runs the read and returns the exit status: 0 when the image is complete
// and the log (with the digest) reached standard output, 1 on failure,
// StopExitStatus after a stop request that cut the job short.
int RunReadCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env);

// Refuses an image path that would destroy data: the drive itself, or an
// existing thing that is not a regular file (a device, a folder). Empty
// when the path is acceptable, else the reason.
std::string CheckImageTarget(const std::string& strDrive, const std::string& strImage);
