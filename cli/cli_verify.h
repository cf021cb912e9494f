#pragma once
// The "verify" command: 1 to 4 drives compared byte for byte with one
// image, all at the same time, the image read once.
#include "cli/cli_args.h"
#include "cli/cli_job.h"

// Runs the compare and returns the exit status: 0 when every drive equals
// the image over the compared length and the log reached standard output,
// 1 otherwise, StopExitStatus after a stop request that cut the job short.
int RunVerifyCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env);
