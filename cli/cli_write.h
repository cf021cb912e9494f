#pragma once
// The "write" command: one image to 1 to 4 drives at the same time, after
// every check that can be made and the operator's Yes, optionally checked
// afterwards by a compare pass or by reading the drives back for their
// digest.
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_job.h"
#include "cli/cli_targets.h"

// Runs the write and returns the exit status: 0 when every drive was
// written (and verified or digest-matched when asked) and the log reached
// standard output, 1 otherwise (refused, not confirmed, a drive NG),
// StopExitStatus after a stop request that cut the job short.
int RunWriteCommand(const T_CLI_ARGS& args, const T_CLI_ENV& env);

// The confirmation shown before the question: the heading, then one line
// per drive with its path and size in bytes.
std::string WriteConfirmationText(const std::vector<T_TARGET>& arrTargets);
// The question that follows it.
constexpr const char* WRITE_QUESTION = "実行しますか？";
