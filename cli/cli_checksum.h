#pragma once
// The "checksum" command: the MD5 digest and the data size of one image
// (of the uncompressed data for a compressed image), and whether the
// image's .md5sum file agrees. The image checksum task computes them; the
// command is a client of the task's requests and messages, as the window
// is.
#include "cli/cli_args.h"
#include "cli/cli_job.h"

// Returns the exit status: 0 when the digest was computed, no .md5sum file
// disagrees and the log reached standard output, 1 otherwise,
// StopExitStatus after a stop request that came before the digest.
int RunChecksumCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env);
